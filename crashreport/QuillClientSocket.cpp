#include "crashreport/QuillClientSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace crashreport {

namespace {

constexpr char kInvalidSocket[] = "Invalid socket: \"%s\".";
constexpr char kConnectionError[] = "Connection error: \"%s\"";
constexpr char kSendError[] = "Error into \"send\": \"%s\"";
constexpr char kRecvError[] = "Error into \"recv\": \"%s\"";
constexpr char kSocketTimeout[] = "Socket timeout.";
constexpr char kCloseError[] = "Cannot close the socket: \"%s\"";

std::string systemText(int error) { return std::strerror(error); }

// The IPv4 address of host: a dotted quad as it stands, else the system's resolver.
bool resolveIPv4(const std::string& host, in_addr& address, std::string& problem) {
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        problem = rc == EAI_SYSTEM ? systemText(errno) : ::gai_strerror(rc);
        if (found) ::freeaddrinfo(found);
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

int remainingMs(TQuillClientSocket::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TQuillClientSocket::Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

}  // namespace

TQuillClientSocket::TQuillClientSocket(std::string host, uint16_t port, TQuillSocketKind kind, int timeoutMs)
    : m_host(std::move(host)), m_port(port), m_kind(kind), m_timeoutMs(timeoutMs > 0 ? timeoutMs : 1) {}

TQuillClientSocket::~TQuillClientSocket() {
    if (m_fd >= 0) ::close(m_fd);
}

void TQuillClientSocket::addLog(std::string_view line) {
    m_log.append(line);
    if (m_log.size() < 2 || m_log.compare(m_log.size() - 2, 2, "\r\n") != 0) m_log += "\r\n";
}

void TQuillClientSocket::fail(const char* text, const std::string& systemText) {
    std::string message = std::strstr(text, "%s") ? rtl::format(text, systemText.c_str()) : std::string(text);
    throw EQuillSocketError(message + "\r\n" + log());
}

void TQuillClientSocket::waitFor(short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{m_fd, events, 0};
        const int rc = ::poll(&p, 1, remainingMs(deadline));
        if (rc > 0) return;
        if (rc == 0) fail(kSocketTimeout);
        if (errno != EINTR) fail(events == POLLOUT ? kSendError : kRecvError, systemText(errno));
    }
}

void TQuillClientSocket::connect() {
    if (m_fd >= 0) close();
    in_addr address{};
    std::string problem;
    if (!resolveIPv4(m_host, address, problem)) fail(kConnectionError, problem);
    const int type = m_kind == TQuillSocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM;
    m_fd = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) fail(kInvalidSocket, systemText(errno));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(m_port);
    peer.sin_addr = address;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS) fail(kConnectionError, systemText(errno));
        waitFor(POLLOUT, deadlineFromNow());
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) fail(kConnectionError, systemText(error));
    }
    m_connected = true;
    const auto* b = reinterpret_cast<const unsigned char*>(&address.s_addr);
    addLog(rtl::format("Connected to %d.%d.%d.%d port %d\r\n", b[0], b[1], b[2], b[3], m_port));
}

void TQuillClientSocket::sendBuffer(std::string_view bytes) {
    if (m_fd < 0) fail(kSendError, systemText(ENOTCONN));
    const Clock::time_point deadline = deadlineFromNow();
    size_t sent = 0;
    do {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<size_t>(n);
            if (m_kind == TQuillSocketKind::Datagram) break;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            waitFor(POLLOUT, deadline);
        } else if (errno != EINTR) {
            fail(kSendError, systemText(errno));
        }
    } while (sent < bytes.size());
}

std::string TQuillClientSocket::receiveSome(Clock::time_point deadline, size_t maxBytes) {
    if (m_fd < 0) fail(kRecvError, systemText(ENOTCONN));
    std::string buffer(maxBytes ? maxBytes : 1, '\0');
    for (;;) {
        const int flags = m_kind == TQuillSocketKind::Datagram ? MSG_TRUNC : 0;
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), flags);
        if (n > 0) {
            // A datagram larger than the buffer is reported whole by MSG_TRUNC: refuse it.
            if (static_cast<size_t>(n) > buffer.size()) fail(kRecvError, "The datagram is too large.");
            buffer.resize(static_cast<size_t>(n));
            return buffer;
        }
        if (n == 0) {
            if (m_kind == TQuillSocketKind::Datagram) return {};
            fail(kRecvError, "The connection was closed by the peer.");
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            waitFor(POLLIN, deadline);
        else if (errno != EINTR)
            fail(kRecvError, systemText(errno));
    }
}

void TQuillClientSocket::close() {
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    m_connected = false;
    if (::close(fd) != 0 && errno != EINTR) fail(kCloseError, systemText(errno));
}

}  // namespace crashreport
