// The bytes of one input are a server's whole answer to one GetToStream: a
// loopback server on 127.0.0.1 reads each request head, sends the input and
// closes. Redirects are kept on the same server; credentials are offered.
// Anything but the client's own exception classes is a finding.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "net/NetHTTP.h"

namespace {

// One thread that serves connections one after another.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AnswerServer* server = new AnswerServer;  // lives for the process
    server->setAnswer(std::string(reinterpret_cast<const char*>(data), size));
    net::TNetHTTP http;
    http.HandleRedirects = true;
    http.HTTPOptions |= net::hoInProcessAuth;
    http.OnRedirect = [](net::TNetCustomHTTP&, std::string& dest, int&, bool&, net::TNetHTTPMethod&) {
        dest = "/again";  // never leave the loopback server
    };
    http.OnAuthorization = [](net::TNetCustomHTTP&, net::TNetAuthentication& authentication, bool& handled) {
        authentication.SetUsername("user");
        authentication.SetPassword("secret");
        handled = true;
    };
    rtl::TStringStream body;
    try {
        http.GetToStream("http://127.0.0.1:" + std::to_string(server->port()) + "/page", body);
    } catch (const rtl::Exception&) {
    }
    http.CloseConnection();
    if (body.size() > static_cast<int64_t>(size)) __builtin_trap();  // a body is never more than was sent
    return 0;
}
