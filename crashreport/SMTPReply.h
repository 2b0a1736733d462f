#pragma once
// TSMTPReplyReader: collects one SMTP reply from the bytes of the peer. A reply
// is one line, or "ddd-" continuation lines up to the first line that is none;
// it is judged only once it is whole. A line longer than kMaxReplyLineLength or
// more than kMaxReplyLines lines fail the reply at once (never a wait for more).
// A failed reader stays failed. Plain data; one thread at a time.

#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

struct TSMTPReply {
    int code = -1;  // the decimal number of the last line's leading digits; -1 when it has none
    std::vector<std::string> lines;  // without CR LF
    // The lines joined with CR LF.
    std::string text() const;
};

class TSMTPReplyReader {
public:
    enum class TStatus { NeedMore, Complete, Failed };

    // Takes further bytes; bytes after a complete reply are kept for the next one.
    TStatus feed(std::string_view bytes);
    // Starts the next reply from the bytes kept; a failed reader stays failed.
    TStatus next();

    TStatus status() const { return m_status; }
    const TSMTPReply& reply() const { return m_reply; }
    const std::string& failure() const { return m_failure; }
    size_t pendingBytes() const { return m_pending.size(); }

private:
    TStatus process();
    TStatus failWith(std::string why);

    TStatus m_status = TStatus::NeedMore;
    TSMTPReply m_reply;
    std::string m_pending;
    std::string m_failure;
};

// The code of a reply line: its leading decimal digits (at most 9), or -1.
int replyCodeOf(std::string_view line);

}  // namespace crashreport
