#pragma once
// TQuillClientSMTP: the command/reply exchange of SMTP over TQuillClientSocket.
// Each reply is read whole (all its lines) within the time-out before its code
// is judged. One thread at a time.

#include <initializer_list>
#include <string>

#include "crashreport/QuillClientSocket.h"
#include "crashreport/SMTPReply.h"

namespace crashreport {

class TQuillClientSMTP : public TQuillClientSocket {
public:
    TQuillClientSMTP(std::string host, uint16_t port, int timeoutMs = kDefaultSocketTimeoutMs);

    // Reads one whole reply; a socket error, the time-out or a reply over the limits raises.
    const TSMTPReply& readReply();
    // Sends text (CR LF appended when missing) and reads the reply; true when its
    // code is one of expected. logAs: what the log shows instead of the text (a
    // secret), null for the text itself.
    bool command(const std::string& text, std::initializer_list<int> expected, const char* logAs = nullptr);
    // Sends the bytes as one transmission (logged by size only) and reads the reply.
    bool transmit(const std::string& bytes, std::initializer_list<int> expected);

    const TSMTPReply& lastReply() const { return m_reader.reply(); }

private:
    bool judge(std::initializer_list<int> expected) const;

    TSMTPReplyReader m_reader;
    bool m_first = true;
};

}  // namespace crashreport
