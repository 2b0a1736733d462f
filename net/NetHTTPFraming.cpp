#include "net/NetHTTPFraming.h"

#include <limits>

#include "net/NetHTTP.h"
#include "net/NetHTTPFormat.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// 1*DIGIT into value; false for anything else or a number past INT64_MAX.
bool readDecimal(std::string_view text, int64_t& value) {
    if (text.empty()) return false;
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const int digit = c - '0';
        if (result > (kMax - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

}  // namespace

bool ReadContentLength(const std::vector<std::string>& values, int64_t& length) {
    bool seen = false;
    int64_t first = 0;
    for (const std::string& value : values) {
        std::string_view rest = value;
        // Each pass consumes one element and its comma, so it ends with the text.
        while (true) {
            const size_t comma = rest.find(',');
            int64_t number = 0;
            if (!readDecimal(trimBlanks(rest.substr(0, comma)), number)) return false;
            if (seen && number != first) return false;
            first = number;
            seen = true;
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    if (!seen) return false;
    length = first;
    return true;
}

std::vector<std::string> ReadTransferCodings(const std::vector<std::string>& values) {
    std::vector<std::string> codings;
    for (const std::string& value : values) {
        std::string_view rest = value;
        while (true) {
            const size_t comma = rest.find(',');
            std::string_view element = rest.substr(0, comma);
            element = trimBlanks(element.substr(0, element.find(';')));
            if (!element.empty()) codings.push_back(rtl::asciiLower(element));
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return codings;
}

int64_t ReadChunkSize(std::string_view line) {
    if (HasBareCR(line)) throw ENetHTTPMessageError(http::text::kBareCR);
    size_t i = 0;
    while (i < line.size() && line[i] == '0') ++i;  // leading zeros carry no size
    const bool zeros = i > 0;
    int64_t value = 0;
    int digits = 0;
    for (; i < line.size() && hexDigit(line[i]) >= 0; ++i, ++digits) {
        const int digit = hexDigit(line[i]);
        if (digits >= http::kMaxChunkSizeDigits || value > (http::kMaxChunkSize - digit) / 16)
            throw ENetHTTPLimitExceeded(http::text::kChunkSizeTooLarge);
        value = value * 16 + digit;
    }
    if (!zeros && digits == 0) throw ENetHTTPMessageError(http::text::kChunkSizeInvalid);
    // What follows the number: nothing, or an extension (after ';' or white space).
    if (i < line.size() && !isBlank(line[i]) && line[i] != ';')
        throw ENetHTTPMessageError(http::text::kChunkSizeInvalid);
    return value;
}

}  // namespace net
