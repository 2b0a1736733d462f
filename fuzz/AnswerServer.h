#pragma once
// A loopback server for the HTTP fuzz targets: one thread on 127.0.0.1 that
// serves connections one after another. For each it reads one request head,
// sends the current answer, closes its sending side, and waits (bounded) for
// the client to close before closing itself.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>

namespace fuzzsupport {

class AnswerServer {
public:
    AnswerServer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listen, 64) != 0)
            __builtin_trap();
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();
    }
    int port() const { return m_port; }
    void setAnswer(std::string answer) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_answer = std::move(answer);
    }

private:
    static void readHead(int fd) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0) return;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            head.append(buffer, static_cast<size_t>(n));
        }
    }
    void serve() {
        while (true) {
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            readHead(fd);
            std::string answer;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                answer = m_answer;
            }
            size_t sent = 0;
            while (sent < answer.size()) {
                const ssize_t n = ::send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            readHead(fd);  // let the client see the close before a reset
            ::close(fd);
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::mutex m_lock;
    std::string m_answer;
};

}  // namespace fuzzsupport
