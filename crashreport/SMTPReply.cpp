#include "crashreport/SMTPReply.h"

#include "crashreport/MailFormat.h"

namespace crashreport {

namespace {

constexpr int kMaxCodeDigits = 9;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "250-..." announces a further line; anything else ends the reply.
bool isContinuation(std::string_view line) {
    return line.size() >= 4 && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]) && line[3] == '-';
}

}  // namespace

int replyCodeOf(std::string_view line) {
    int code = 0, digits = 0;
    while (digits < static_cast<int>(line.size()) && isDigit(line[digits])) {
        if (++digits > kMaxCodeDigits) return -1;
        code = code * 10 + (line[digits - 1] - '0');
    }
    return digits ? code : -1;
}

std::string TSMTPReply::text() const {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\r\n" : "") + lines[i];
    return out;
}

TSMTPReplyReader::TStatus TSMTPReplyReader::failWith(std::string why) {
    m_failure = std::move(why);
    m_pending.clear();
    return m_status = TStatus::Failed;
}

TSMTPReplyReader::TStatus TSMTPReplyReader::feed(std::string_view bytes) {
    if (m_status == TStatus::Failed) return m_status;
    m_pending.append(bytes);
    return m_status == TStatus::Complete ? m_status : process();
}

TSMTPReplyReader::TStatus TSMTPReplyReader::next() {
    if (m_status == TStatus::Failed) return m_status;
    m_reply = TSMTPReply();
    m_status = TStatus::NeedMore;
    return process();
}

TSMTPReplyReader::TStatus TSMTPReplyReader::process() {
    size_t start = 0;
    TStatus result = TStatus::NeedMore;
    while (result == TStatus::NeedMore) {
        const size_t end = m_pending.find('\n', start);
        if (end == std::string::npos) {
            // A CR may still come before the LF; more than that cannot be a valid line.
            if (m_pending.size() - start > kMaxReplyLineLength + 1) return failWith("The reply line is too long.");
            break;
        }
        size_t length = end - start;
        if (length && m_pending[end - 1] == '\r') --length;
        if (length > kMaxReplyLineLength) return failWith("The reply line is too long.");
        if (m_reply.lines.size() >= kMaxReplyLines) return failWith("The reply has too many lines.");
        m_reply.lines.emplace_back(m_pending, start, length);
        start = end + 1;
        if (!isContinuation(m_reply.lines.back())) {
            m_reply.code = replyCodeOf(m_reply.lines.back());
            result = TStatus::Complete;
        }
    }
    m_pending.erase(0, start);
    return m_status = result;
}

}  // namespace crashreport
