#include "crashreport/MailLayout.h"

#include <cstdio>

#include "crashreport/MailFormat.h"
#include "rtl/Exception.h"
#include "rtl/RegularFile.h"
#include "rtl/StringUtils.h"

namespace crashreport {

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string headers(const TMailContent& mail, const std::string& recipient, std::time_t when) {
    return "Date: " + formatMailDate(when) + "\r\n" +
           "From: <" + mail.sender + ">\r\n" +
           "Subject: " + mail.subject + "\r\n" +
           "To: <" + recipient + ">\r\n" +
           "Content-Type: multipart/mixed; boundary=\"" + kMailBoundary + "\";\r\nMIME-Version: 1.0\r\n" +
           "X-Priority: 1\r\n" +
           "X-Library: " + kMailLibrary + "\r\n" +
           "\r\n";
}

// The part of one attachment; empty when the file does not exist (or is no regular file, or too large).
std::string attachmentPart(const std::string& path) {
    rtl::TRegularFile file(path);
    if (!file.isOpen() || file.size() > static_cast<int64_t>(kMaxAttachmentSize)) return {};
    std::string bytes;
    try {
        bytes = file.readUpTo(kMaxAttachmentSize);
    } catch (const rtl::EReadError&) {
        return {};
    }
    const std::string name = baseName(path);
    return std::string("\r\n--") + kMailBoundary + "\r\n" +
           "Content-Type: " + attachmentType(name) + ";\r\n" +
           "        name=\"" + name + "\"\r\n" +
           "Content-Transfer-Encoding: base64\r\n" +
           "Content-Disposition: attachment;\r\n" +
           "        filename=\"" + name + "\"\r\n" +
           "\r\n" + base64Lines(bytes);
}

}  // namespace

std::string mailDateZone(long offsetSeconds) {
    const long hours = offsetSeconds / 3600;  // toward zero: the minutes are dropped
    std::string digits = std::to_string(hours < 0 ? -hours : hours);
    if (digits.size() == 1) digits.insert(0, "0");
    return (hours < 0 ? "-" : "+") + digits + "00";
}

std::string formatMailDate(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return rtl::format("%s, %d %s %d %02d:%02d:%02d %s", kDayNames[local.tm_wday % 7], local.tm_mday,
                       kMonthNames[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                       local.tm_sec, mailDateZone(local.tm_gmtoff).c_str());
}

std::string attachmentType(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    const bool png = dot != std::string_view::npos && rtl::asciiUpper(fileName.substr(dot)) == ".PNG";
    return png ? "image/png" : "application/octet-stream";
}

std::string base64Lines(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 3 * 4 + bytes.size() / 57 * 2 + 8);
    size_t column = 0;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        const uint32_t chunk = (static_cast<uint8_t>(bytes[i]) << 16) |
                               (left > 1 ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0) |
                               (left > 2 ? static_cast<uint8_t>(bytes[i + 2]) : 0);
        out += kBase64Alphabet[(chunk >> 18) & 63];
        out += kBase64Alphabet[(chunk >> 12) & 63];
        out += left > 1 ? kBase64Alphabet[(chunk >> 6) & 63] : '=';
        out += left > 2 ? kBase64Alphabet[chunk & 63] : '=';
        column += 4;
        if (column == kBase64LineLength) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column) out += "\r\n";
    return out;
}

std::string dotStuffed(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string buildMailMessage(const TMailContent& mail, const std::string& recipient, std::time_t when) {
    std::string message = headers(mail, recipient, when);
    message += std::string("This is a multi-part message in MIME format\r\n\r\n--") + kMailBoundary +
               "\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" + mail.text + "\r\n";
    for (const std::string& path : mail.attachments) message += attachmentPart(path);
    message += std::string("--") + kMailBoundary + "--\r\n";
    return dotStuffed(message) + ".\r\n";
}

}  // namespace crashreport
