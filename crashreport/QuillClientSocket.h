#pragma once
// TQuillClientSocket: the crash reporter's own small IPv4 client socket,
// separate from the HTTP client: one stream (SMTP) or datagram (DNS)
// connection with a time-out on every wait and a text log of the conversation.
// Every failure raises EQuillSocketError with its fixed text, the system's text
// and the log. One thread at a time; the socket is closed by the destructor.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "crashreport/MailFormat.h"
#include "rtl/Exception.h"

namespace crashreport {

RTL_DECLARE_EXCEPTION(EQuillSocketError, rtl::Exception);

enum class TQuillSocketKind { Stream, Datagram };

class TQuillClientSocket {
public:
    using Clock = std::chrono::steady_clock;

    TQuillClientSocket(std::string host, uint16_t port, TQuillSocketKind kind,
                       int timeoutMs = kDefaultSocketTimeoutMs);
    virtual ~TQuillClientSocket();
    TQuillClientSocket(const TQuillClientSocket&) = delete;
    TQuillClientSocket& operator=(const TQuillClientSocket&) = delete;

    // Resolves the host (IPv4) and connects within the time-out.
    void connect();
    // Sends all bytes (a stream) or one datagram within the time-out.
    void sendBuffer(std::string_view bytes);
    // Waits until deadline for data and returns what arrived (one datagram for
    // the datagram kind, at most maxBytes). A peer's close is an error here.
    std::string receiveSome(Clock::time_point deadline, size_t maxBytes);
    void close();

    bool connected() const { return m_connected; }
    int timeoutMs() const { return m_timeoutMs; }
    Clock::time_point deadlineFromNow() const { return Clock::now() + std::chrono::milliseconds(m_timeoutMs); }
    // "Socket log:" and one line per event, each ending with CR LF.
    std::string log() const { return "Socket log:\r\n" + m_log; }
    void addLog(std::string_view line);

protected:
    // Raises EQuillSocketError: the text (with %s for the system's text) and the log.
    [[noreturn]] void fail(const char* text, const std::string& systemText = {});

private:
    void waitFor(short events, Clock::time_point deadline);

    std::string m_host;
    uint16_t m_port;
    TQuillSocketKind m_kind;
    int m_timeoutMs;
    int m_fd = -1;
    bool m_connected = false;
    std::string m_log;
};

}  // namespace crashreport
