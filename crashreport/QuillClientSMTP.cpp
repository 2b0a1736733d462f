#include "crashreport/QuillClientSMTP.h"

#include <algorithm>

namespace crashreport {

namespace {

constexpr size_t kReceiveChunk = 4096;

bool endsWithLineEnd(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

}  // namespace

TQuillClientSMTP::TQuillClientSMTP(std::string host, uint16_t port, int timeoutMs)
    : TQuillClientSocket(std::move(host), port, TQuillSocketKind::Stream, timeoutMs) {}

const TSMTPReply& TQuillClientSMTP::readReply() {
    TSMTPReplyReader::TStatus status = m_first ? m_reader.status() : m_reader.next();
    m_first = false;
    const Clock::time_point deadline = deadlineFromNow();  // for the whole reply, however it trickles in
    while (status == TSMTPReplyReader::TStatus::NeedMore)
        status = m_reader.feed(receiveSome(deadline, kReceiveChunk));
    if (status == TSMTPReplyReader::TStatus::Failed) fail("Error into \"recv\": \"%s\"", m_reader.failure());
    for (const std::string& line : m_reader.reply().lines) addLog("< " + line);
    return m_reader.reply();
}

bool TQuillClientSMTP::judge(std::initializer_list<int> expected) const {
    return std::find(expected.begin(), expected.end(), m_reader.reply().code) != expected.end();
}

bool TQuillClientSMTP::command(const std::string& text, std::initializer_list<int> expected, const char* logAs) {
    const std::string line = endsWithLineEnd(text) ? text : text + "\r\n";
    addLog(std::string("> ") + (logAs ? std::string(logAs) : line));
    sendBuffer(line);
    readReply();
    return judge(expected);
}

bool TQuillClientSMTP::transmit(const std::string& bytes, std::initializer_list<int> expected) {
    addLog("> (message of " + std::to_string(bytes.size()) + " bytes)");
    sendBuffer(bytes);
    readReply();
    return judge(expected);
}

}  // namespace crashreport
