#include "net/NetSocks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "ExpectThrow.h"
#include "NetLoopbackServer.h"
#include "net/NetIOHandlerSocket.h"
#include "net/NetTCPClient.h"

using namespace net;
using testsupport::expectThrowWith;

namespace {

// A SOCKS test server: it speaks the proxy side of the negotiation, records
// what was asked for, and then plays the target itself by echoing one line.
struct SocksServer {
    enum class Mode { Accept, WrongPassword, RefuseConnect, Reject4, Silent };
    Mode mode = Mode::Accept;
    std::string requestedHost;
    int requestedPort = 0;
    std::string user;
    std::mutex lock;
    nettest::LoopbackServer server{[this](int fd) { serve(fd); }};

    static uint8_t byteAt(const std::string& s, size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : 0; }

    void record(std::string host, int port) {
        std::lock_guard<std::mutex> guard(lock);
        requestedHost = std::move(host);
        requestedPort = port;
    }

    std::string readZeroTerminated(int fd) {
        std::string out;
        char c = 1;
        while (out.size() < 300 && ::recv(fd, &c, 1, 0) == 1 && c != '\0') out += c;
        return out;
    }

    void serve(int fd) {
        if (mode == Mode::Silent) {  // reads the greeting, closes without a word
            nettest::recvUpTo(fd, 3, 3000);
            return;
        }
        const std::string first = nettest::recvUpTo(fd, 1, 3000);
        if (byteAt(first, 0) == 4) serve4(fd);
        else if (byteAt(first, 0) == 5 && serve5(fd)) echoOneLine(fd);
    }

    void serve4(int fd) {
        const std::string head = nettest::recvUpTo(fd, 7, 3000);  // command, port, address
        const int port = byteAt(head, 1) * 256 + byteAt(head, 2);
        user = readZeroTerminated(fd);
        std::string host = rtl::format("%u.%u.%u.%u", byteAt(head, 3), byteAt(head, 4), byteAt(head, 5), byteAt(head, 6));
        if (host == "0.0.0.1") host = readZeroTerminated(fd);
        record(host, port);
        const char code = mode == Mode::Reject4 ? 91 : 90;
        nettest::sendAll(fd, std::string{0, code, 0, 0, 0, 0, 0, 0});
        if (code == 90) echoOneLine(fd);
    }

    bool serve5(int fd) {
        const std::string count = nettest::recvUpTo(fd, 1, 3000);
        const std::string methods = nettest::recvUpTo(fd, byteAt(count, 0), 3000);
        const bool password = methods.find('\x02') != std::string::npos;
        nettest::sendAll(fd, std::string{5, static_cast<char>(password ? 2 : 0)});
        if (password) {
            const std::string head = nettest::recvUpTo(fd, 2, 3000);
            user = nettest::recvUpTo(fd, byteAt(head, 1), 3000);
            const std::string passLength = nettest::recvUpTo(fd, 1, 3000);
            const std::string pass = nettest::recvUpTo(fd, byteAt(passLength, 0), 3000);
            const bool ok = mode != Mode::WrongPassword && pass == "secret";
            nettest::sendAll(fd, std::string{1, static_cast<char>(ok ? 0 : 1)});
            if (!ok) return false;
        }
        const std::string request = nettest::recvUpTo(fd, 5, 3000);  // ver cmd rsv atyp len
        if (byteAt(request, 1) != 1 || byteAt(request, 3) != 3) return false;
        const std::string host = nettest::recvUpTo(fd, byteAt(request, 4), 3000);
        const std::string port = nettest::recvUpTo(fd, 2, 3000);
        record(host, byteAt(port, 0) * 256 + byteAt(port, 1));
        const char reply = mode == Mode::RefuseConnect ? 5 : 0;
        nettest::sendAll(fd, std::string{5, reply, 0, 1, 127, 0, 0, 1, 0x1F, 0x40});
        return reply == 0;
    }

    void echoOneLine(int fd) {
        const std::string line = nettest::recvLine(fd);
        nettest::sendAll(fd, "echo:" + line);
    }
};

std::unique_ptr<TNetTCPClient> clientVia(SocksServer& proxy, TSocksVersion version, const std::string& host) {
    auto transport = std::make_shared<TNetIOHandlerSocket>();
    transport->SocksInfo().Version = version;
    transport->SocksInfo().Host = "127.0.0.1";
    transport->SocksInfo().Port = proxy.server.port();
    auto client = std::make_unique<TNetTCPClient>();
    client->SetIOHandler(transport);
    client->SetHost(host);
    client->SetPort(8080);
    return client;
}

}  // namespace

TEST(NetSocks, Socks5ConnectByNameWithAndWithoutPassword) {
    SocksServer proxy;
    auto client = clientVia(proxy, TSocksVersion::svSocks5, "origin.tessaly.invalid");
    client->OpenConnection();
    client->WriteLine("ping");
    EXPECT_EQ(client->ReadLine(), "echo:ping");
    EXPECT_EQ(proxy.requestedHost, "origin.tessaly.invalid");  // the name went to the proxy unresolved
    EXPECT_EQ(proxy.requestedPort, 8080);
    client->CloseConnection();

    auto withPassword = clientVia(proxy, TSocksVersion::svSocks5, "origin.tessaly.invalid");
    auto* transport = dynamic_cast<TNetIOHandlerSocket*>(withPassword->IOHandler().get());
    transport->SocksInfo().Authentication = TSocksAuthentication::saUsernamePassword;
    transport->SocksInfo().Username = "alice";
    transport->SocksInfo().Password = "secret";
    withPassword->OpenConnection();
    withPassword->WriteLine("two");
    EXPECT_EQ(withPassword->ReadLine(), "echo:two");
    EXPECT_EQ(proxy.user, "alice");
}

TEST(NetSocks, Socks5Refusals) {
    SocksServer proxy;
    proxy.mode = SocksServer::Mode::WrongPassword;
    auto client = clientVia(proxy, TSocksVersion::svSocks5, "origin.tessaly.invalid");
    auto* transport = dynamic_cast<TNetIOHandlerSocket*>(client->IOHandler().get());
    transport->SocksInfo().Authentication = TSocksAuthentication::saUsernamePassword;
    transport->SocksInfo().Password = "wrong";
    testsupport::expectThrowWith<ENetSocksAuthError>([&] { client->OpenConnection(); },
                                                     "Authentication error to socks server.");
    EXPECT_FALSE(client->IsConnected());  // a failed open drops the socket

    proxy.mode = SocksServer::Mode::RefuseConnect;
    auto refused = clientVia(proxy, TSocksVersion::svSocks5, "origin.tessaly.invalid");
    expectThrowWith<ENetSocksServerConnectionRefusedError>([&] { refused->OpenConnection(); }, "Connection refused.");

    proxy.mode = SocksServer::Mode::Silent;
    auto silent = clientVia(proxy, TSocksVersion::svSocks5, "origin.tessaly.invalid");
    expectThrowWith<ENetSocksServerRespondError>([&] { silent->OpenConnection(); }, "Socks server did not respond.");
}

TEST(NetSocks, Socks4And4A) {
    SocksServer proxy;
    auto byName = clientVia(proxy, TSocksVersion::svSocks4A, "origin.tessaly.invalid");
    auto* transport = dynamic_cast<TNetIOHandlerSocket*>(byName->IOHandler().get());
    transport->SocksInfo().Username = "bob";
    byName->OpenConnection();
    byName->WriteLine("four-a");
    EXPECT_EQ(byName->ReadLine(), "echo:four-a");
    EXPECT_EQ(proxy.requestedHost, "origin.tessaly.invalid");
    EXPECT_EQ(proxy.user, "bob");

    auto byAddress = clientVia(proxy, TSocksVersion::svSocks4, "localhost");
    byAddress->OpenConnection();
    byAddress->WriteLine("four");
    EXPECT_EQ(byAddress->ReadLine(), "echo:four");
    EXPECT_EQ(proxy.requestedHost, "127.0.0.1");
    EXPECT_EQ(proxy.requestedPort, 8080);

    proxy.mode = SocksServer::Mode::Reject4;
    auto rejected = clientVia(proxy, TSocksVersion::svSocks4, "127.0.0.1");
    expectThrowWith<ENetSocksRequestFailed>([&] { rejected->OpenConnection(); }, "Request rejected or failed.");
}
