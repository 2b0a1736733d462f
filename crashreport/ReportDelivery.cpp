#include "crashreport/ReportDelivery.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "crashreport/InternalNotices.h"
#include "crashreport/MailProgram.h"

namespace crashreport {

namespace {

std::string newPrivateFolder() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp && temp[0] ? temp : "/tmp") + "/tessaly-mail-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

bool writeNewFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && written == bytes.size();
}

bool addressAllowed(const std::string& address) {
    for (const char c : address)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '<' || c == '>') return false;
    return !address.empty();
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
    return out;
}

}  // namespace

std::vector<std::string> splitRecipients(const std::string& list) {
    std::vector<std::string> out;
    std::string current;
    auto finish = [&] {
        if (addressAllowed(current)) out.push_back(current);
        current.clear();
    };
    for (const char c : list) {
        if (c == ';' || c == ',' || c == ' ' || c == '\t')
            finish();
        else
            current += c;
    }
    finish();
    return out;
}

TSMTPSettings smtpSettingsFrom(const TQuillModuleOptionsEx& options) {
    TSMTPSettings s;
    s.host = options.SMTPHost;
    s.port = options.SMTPPort;
    s.user = options.SMTPUser;
    s.password = options.SMTPPassword;
    s.useMX = options.SendMethod == smSMTPDirect;
    s.timeoutMs = options.SocketTimeout;
    s.dns.resolvConf = options.ResolvConf;
    s.dns.fallbackServer = options.DNSServer;
    s.dns.port = options.DNSPort;
    s.dns.timeoutMs = options.SocketTimeout;
    return s;
}

TDeliveryFiles::TDeliveryFiles(const TSendRequest& request) {
    const TQuillModuleOptionsEx& o = *request.options;
    m_mail.sender = o.Sender;
    m_mail.subject = o.Subject;
    m_mail.text = o.Message;
    if (o.ReportInBody) {
        m_mail.text += "\r\n\r\n\r\n" + request.reportText;
    } else {
        m_folder = newPrivateFolder();
        const std::string name = request.logFileName.empty() ? std::string("report.qlf") : request.logFileName;
        m_reportFile = m_folder + "/" + name;
        if (!m_folder.empty() && name.find('/') == std::string::npos && writeNewFile(m_reportFile, request.reportText)) {
            m_mail.attachments.push_back(m_reportFile);
        } else {
            m_complete = false;
            recordWarningNotice(eeNone, 0, "Cannot write the report file \"" + m_reportFile + "\" to attach.");
            m_reportFile.clear();
        }
    }
    if (o.AttachScreenshot && !request.screenshotPath.empty()) {
        if (m_folder.empty()) m_folder = newPrivateFolder();
        // A copy of our own: the cycle deletes its file when the sender returns.
        const std::string copy = m_folder + "/Screenshot.png";
        std::string bytes;
        const int fd = ::open(request.screenshotPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            char buffer[65536];
            ssize_t n;
            while (bytes.size() <= kMaxAttachmentSize && (n = ::read(fd, buffer, sizeof buffer)) > 0)
                bytes.append(buffer, static_cast<size_t>(n));
            ::close(fd);
            if (!m_folder.empty() && bytes.size() <= kMaxAttachmentSize && writeNewFile(copy, bytes))
                m_mail.attachments.push_back(copy);
        }
    }
}

TDeliveryFiles::~TDeliveryFiles() {
    if (m_keep || m_folder.empty()) return;
    for (const std::string& file : m_mail.attachments) ::unlink(file.c_str());
    ::rmdir(m_folder.c_str());
}

bool deliverBySMTP(const TSendRequest& request, const TSMTPProgress& progress) {
    const std::vector<std::string> recipients = splitRecipients(request.options->Recipients);
    if (recipients.empty()) {
        recordWarningNotice(eeEmailSMTPError, 0, "No recipient is configured; the report was not sent.");
        return false;
    }
    TDeliveryFiles files(request);
    return sendBySMTP(recipients, files.mail(), smtpSettingsFrom(*request.options), progress);
}

bool deliverByMailProgram(const TSendRequest& request) {
    const TQuillModuleOptionsEx& o = *request.options;
    const std::vector<std::string> recipients = splitRecipients(o.Recipients);
    {
        TDeliveryFiles files(request);
        std::string failure;
        if (sendByMailProgram(recipients, files.mail().subject, files.mail().text, files.mail().attachments, failure)) {
            files.keep();  // the mail program reads them when it composes, maybe after xdg-email has ended
            return true;
        }
        recordWarningNotice(eeEmailMAPIError, 0, failure);
    }
    std::string failure;
    if (sendByMailto(joined(recipients, ","), o.Subject, o.Message + "\r\n\r\n\r\n" + request.currentReport, failure))
        return true;
    recordWarningNotice(eeEmailShellError, 0, failure);
    return false;
}

bool deliverReport(const TSendRequest& request) {
    if (!request.options) return false;
    switch (request.options->SendMethod) {
    case smMailProgram: return deliverByMailProgram(request);
    case smSMTPServer:
    case smSMTPDirect: return deliverBySMTP(request);
    default: return false;
    }
}

}  // namespace crashreport
