#pragma once
// A small TCP server on 127.0.0.1 for the network tests: it listens on an
// ephemeral port and runs a handler on its own thread for every accepted
// connection. The handler gets the connected descriptor, which is closed
// after it returns. The destructor stops accepting and joins every thread.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

// Binds a TCP socket to 127.0.0.1:port (0: ephemeral) and listens.
inline int listenLoopback(int backlog, int port = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen failed");
    }
    return fd;
}

inline int localPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A port on 127.0.0.1 that nothing listens on (bound, then released).
inline int unusedPort() {
    const int fd = listenLoopback(1);
    const int port = localPort(fd);
    ::close(fd);
    return port;
}

// A body in chunked coding: one size line per piece, then "0" and the empty trailer.
inline std::string chunkedBody(const std::vector<std::string>& pieces) {
    std::string out;
    for (const auto& piece : pieces) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        out += size + piece + "\r\n";
    }
    return out + "0\r\n\r\n";
}

inline bool sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Up to count bytes; fewer when the peer closes or timeoutMs passes without data.
inline std::string recvUpTo(int fd, size_t count, int timeoutMs = 5000) {
    std::string out;
    char buffer[65536];
    while (out.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - out.size()), 0);
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

// Bytes up to and including the first LF (bounded by limit).
inline std::string recvLine(int fd, size_t limit = 4096) {
    std::string line;
    char c = 0;
    while (line.size() < limit && ::recv(fd, &c, 1, 0) == 1) {
        line += c;
        if (c == '\n') break;
    }
    return line;
}

class LoopbackServer {
public:
    using Handler = std::function<void(int fd)>;

    explicit LoopbackServer(Handler handler, int backlog = 16)
        : m_handler(std::move(handler)), m_listen(listenLoopback(backlog)) {
        m_port = localPort(m_listen);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackServer() {
        m_stop = true;
        m_acceptor.join();
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto& t : m_workers) t.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }
    int accepted() const { return m_accepted.load(); }

private:
    void acceptLoop() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++m_accepted;
            std::lock_guard<std::mutex> guard(m_lock);
            m_workers.emplace_back([this, fd] {
                m_handler(fd);
                ::close(fd);
            });
        }
    }

    Handler m_handler;
    int m_listen;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::thread m_acceptor;
    std::mutex m_lock;
    std::vector<std::thread> m_workers;
};

// A one-shot flag one thread raises and another waits for (bounded).
class Latch {
public:
    void release() { m_set = true; }
    bool isSet() const { return m_set; }
    bool wait(int timeoutMs = 5000) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!m_set) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    std::atomic<bool> m_set{false};
};

}  // namespace nettest
