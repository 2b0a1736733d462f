#pragma once
// A scriptable HTTP server on 127.0.0.1 for the tests, fuzz targets and
// benchmarks. Every accepted connection runs the script on its own thread
// with a Conn: the script reads request heads and writes whatever bytes,
// pacing and closing it wants (status lines, headers, bodies by length,
// chunked or until close, interim heads, drips, resets). Every request head
// received is kept, in order, for the test to inspect.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "NetLoopbackServer.h"

namespace httptest {

class HTTPTestServer;

// One accepted connection. Every loop is bounded by a time or a byte count.
class Conn {
public:
    static constexpr size_t kMaxHead = 64 * 1024;

    Conn(int fd, HTTPTestServer& server, int index) : m_fd(fd), m_server(server), m_index(index) {}
    int fd() const { return m_fd; }
    // 0 for the first connection the server accepted.
    int index() const { return m_index; }

    // The next request head (through the empty line), or "" when the peer
    // closed or nothing came within timeoutMs. Recorded in the server's log.
    inline std::string readHead(int timeoutMs = 5000);
    // Reads exactly count body bytes (fewer on close or time-out).
    std::string readBody(size_t count, int timeoutMs = 5000) {
        std::string out = m_pending.substr(0, std::min(count, m_pending.size()));
        m_pending.erase(0, out.size());
        if (out.size() < count) out += nettest::recvUpTo(m_fd, count - out.size(), timeoutMs);
        return out;
    }
    bool send(const std::string& bytes) { return nettest::sendAll(m_fd, bytes); }
    // Sends only the first cutAt bytes; the script then returns to close there.
    bool sendCut(const std::string& bytes, size_t cutAt) { return send(bytes.substr(0, cutAt)); }
    // One byte every msPerByte; stops when the peer goes away.
    bool drip(const std::string& bytes, int msPerByte) {
        for (char c : bytes) {
            if (!send(std::string(1, c))) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(msPerByte));
        }
        return true;
    }
    // A body in chunked coding: one size line per piece, then "0".
    bool sendChunked(const std::vector<std::string>& pieces) { return send(nettest::chunkedBody(pieces)); }
    // Ends the connection with a reset instead of an orderly close.
    void reset() {
        linger option{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        ::shutdown(m_fd, SHUT_RD);
        m_reset = true;
    }
    // Orderly close of the sending side; reading still works.
    void finishSending() { ::shutdown(m_fd, SHUT_WR); }
    // Waits (bounded) until the peer closes; true when it did.
    bool waitPeerClose(int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[4096];
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) return true;
        }
        return false;
    }
    bool wasReset() const { return m_reset; }

private:
    int m_fd;
    HTTPTestServer& m_server;
    int m_index;
    std::string m_pending;
    bool m_reset = false;
};

class HTTPTestServer {
public:
    using Script = std::function<void(Conn&)>;

    explicit HTTPTestServer(Script script)
        : m_script(std::move(script)), m_server([this](int fd) { serve(fd); }, 64) {}

    int port() const { return m_server.port(); }
    int connections() const { return m_server.accepted(); }
    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port()) + path;
    }
    // Every request head received so far, in arrival order.
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_requests;
    }
    void record(const std::string& head) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_requests.push_back(head);
    }

private:
    void serve(int fd) {
        Conn conn(fd, *this, m_next++);
        m_script(conn);
    }

    Script m_script;
    std::atomic<int> m_next{0};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    nettest::LoopbackServer m_server;  // last: its threads stop before the rest goes
};

std::string Conn::readHead(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[8192];
    size_t found;
    while ((found = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (m_pending.size() > kMaxHead || std::chrono::steady_clock::now() > end) return {};
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        m_pending.append(buffer, static_cast<size_t>(n));
    }
    std::string head = m_pending.substr(0, found + 4);
    m_pending.erase(0, found + 4);
    m_server.record(head);
    return head;
}

// A complete response with a Content-Length; extra header lines are given
// whole, each ending in CR LF.
inline std::string response(const std::string& statusLine, const std::string& headers, const std::string& body) {
    return statusLine + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The request line of a recorded head.
inline std::string requestLine(const std::string& head) { return head.substr(0, head.find("\r\n")); }

}  // namespace httptest
