// https through the page fetcher's TLS transport, against our own TLS servers
// (certificates made here for each test) and Debian's openssl s_server.
#include "net/NetSSLIOHandlerSocket.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "ExpectThrow.h"
#include "HTTPTestServer.h"
#include "TLSTestServer.h"
#include "net/NetAntiFreeze.h"
#include "net/NetHTTP.h"
#include "net/NetPageFetcher.h"

using namespace net;
using testsupport::expectThrowWith;
using tlstest::Credential;
using tlstest::TLSConn;
using tlstest::TLSTestServer;

namespace {

std::string randomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string out(count, '\0');
    for (auto& c : out) c = static_cast<char>(generator());
    return out;
}

std::string okResponse(const std::string& body, const std::string& headers = "") {
    return httptest::response("HTTP/1.1 200 OK", headers, body);
}

// Answers every request head of a connection with answer(head).
TLSTestServer::Script serveEach(std::function<std::string(const std::string&)> answer) {
    return [answer](TLSConn& conn) {
        for (std::string head = conn.readHead(); !head.empty(); head = conn.readHead())
            if (!conn.send(answer(head))) return;
    };
}

class TLSTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessaly-tls-XXXXXX";
        folder = ::mkdtemp(pattern);
        pki = std::make_unique<tlstest::TestPKI>(folder);
        root = pki->authority("Tessaly Test Root");
        // Only our root is trusted: the system store is replaced for the test.
        ::setenv("SSL_CERT_FILE", root.certFile.c_str(), 1);
        ::setenv("SSL_CERT_DIR", folder.c_str(), 1);
        ConfigurePageFetcher(http);
    }
    void TearDown() override {
        http.CloseConnection();
        ::unsetenv("SSL_CERT_FILE");
        ::unsetenv("SSL_CERT_DIR");
        std::system(("rm -rf " + folder).c_str());
    }
    Credential goodLeaf() { return pki->leaf("localhost", {"DNS:localhost", "IP:127.0.0.1"}, &root); }
    TNetSSLIOHandlerSocket& tls() { return *std::dynamic_pointer_cast<TNetSSLIOHandlerSocket>(http.IOHandler()); }
    std::string fetch(const std::string& url) {
        rtl::TStringStream body;
        try {
            http.GetToStream(url, body);
        } catch (...) {
            http.CloseConnection();
            throw;
        }
        http.CloseConnection();
        return body.dataString();
    }

    std::string folder;
    std::unique_ptr<tlstest::TestPKI> pki;
    Credential root;
    TNetHTTP http;
};

}  // namespace

TEST_F(TLSTest, ChainThroughIntermediateIsAcceptedByNameAndByAddress) {
    const Credential intermediate = pki->authority("Tessaly Test Intermediate", &root);
    const Credential leaf = pki->leaf("localhost", {"DNS:localhost", "IP:127.0.0.1"}, &intermediate,
                                      -tlstest::TestPKI::kDay, 30 * tlstest::TestPKI::kDay, &intermediate);
    TLSTestServer server(leaf, serveEach([](const std::string&) { return okResponse("secret page"); }));

    EXPECT_EQ(fetch(server.url("localhost", "/a")), "secret page");
    EXPECT_EQ(server.lastServerName(), "localhost");  // SNI carries the host name
    EXPECT_EQ(http.Response().StatusLine, "HTTP/1.1 200 OK");
    const TNetTLSInfo first = tls().LastHandshake();
    EXPECT_TRUE(first.Protocol == "TLSv1.3" || first.Protocol == "TLSv1.2") << first.Protocol;
    EXPECT_FALSE(first.Cipher.empty());
    EXPECT_EQ(first.PeerSubject, "CN=localhost");
    EXPECT_FALSE(first.Resumed);

    // A new connection to the same peer resumes the kept session.
    EXPECT_EQ(fetch(server.url("localhost", "/b")), "secret page");
    EXPECT_TRUE(tls().LastHandshake().Resumed);
    EXPECT_EQ(server.connections(), 2);

    // An address is checked against the IP addresses and sent without SNI.
    EXPECT_EQ(fetch(server.url("127.0.0.1", "/c")), "secret page");
    EXPECT_EQ(server.lastServerName(), "");
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(httptest::requestLine(server.requests()[2]), "GET /c HTTP/1.1");
    EXPECT_NE(server.requests()[2].find("Host: 127.0.0.1:" + std::to_string(server.port())), std::string::npos);
}

TEST_F(TLSTest, CertificatesThatDoNotVerifyAreRefusedBeforeAnyRequestByte) {
    const Credential stranger = pki->authority("Somebody Else's Root");
    const long day = tlstest::TestPKI::kDay;
    struct Case {
        Credential credential;
        std::string host;
        std::string message;
    };
    const std::vector<Case> cases = {
        {pki->leaf("localhost", {"DNS:localhost"}, nullptr), "localhost",
         "Certificate verify failed: self-signed certificate (host localhost)"},
        {pki->leaf("localhost", {"DNS:localhost"}, &root, -30 * day, -day), "localhost",
         "Certificate verify failed: certificate has expired (host localhost)"},
        {pki->leaf("localhost", {"DNS:localhost"}, &root, day, 30 * day), "localhost",
         "Certificate verify failed: certificate is not yet valid (host localhost)"},
        {pki->leaf("www.example.com", {"DNS:www.example.com", "DNS:*.localhost"}, &root), "localhost",
         "Certificate verify failed: certificate is not valid for this host name (host localhost)"},
        // The common name is not consulted once the certificate names hosts.
        {pki->leaf("localhost", {"DNS:other.test"}, &root), "localhost",
         "Certificate verify failed: certificate is not valid for this host name (host localhost)"},
        {pki->leaf("localhost", {"DNS:localhost", "DNS:127.0.0.1"}, &root), "127.0.0.1",
         "Certificate verify failed: certificate is not valid for this IP address (host 127.0.0.1)"},
        {pki->leaf("localhost", {"DNS:localhost"}, &stranger), "localhost",
         "Certificate verify failed: certificate issuer is not trusted (host localhost)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TLSTestServer server(c.credential, serveEach([](const std::string&) { return okResponse("no"); }));
        expectThrowWith<ENetSSLCertificateError>([&] { fetch(server.url(c.host, "/private?token=1")); }, c.message);
        // Give the server's side of the refused handshake time to end.
        for (int i = 0; i < 250 && server.failedHandshakes() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(server.failedHandshakes(), 1);
        EXPECT_EQ(server.handshakes(), 0);
        EXPECT_EQ(server.bytesReceived(), 0);
        EXPECT_TRUE(server.requests().empty());
        EXPECT_FALSE(http.IsConnected());
    }
    // The refusal is one of the network layer's exceptions, as every connection failure.
    TLSTestServer server(cases[0].credential, serveEach([](const std::string&) { return okResponse("no"); }));
    EXPECT_THROW(fetch(server.url("localhost")), ENetException);
}

TEST_F(TLSTest, OlderProtocolsThanTLS12AreRefused) {
    const Credential leaf = goodLeaf();
    TLSTestServer server(leaf, serveEach([](const std::string&) { return okResponse("old"); }), [](SSL_CTX* ctx) {
        SSL_CTX_set_security_level(ctx, 0);
        SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(ctx, TLS1_1_VERSION);
    });
    try {
        fetch(server.url("localhost"));
        ADD_FAILURE() << "a TLS 1.1 server was accepted";
    } catch (const ENetSSLProtocolReplyError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("TLS handshake failed: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(TLSTest, PeersThatDoNotSpeakTLSFailTheHandshakeInPlainWords) {
    // A plain HTTP server on an https URL, and one that hangs up on the hello.
    nettest::LoopbackServer plain([](int fd) {
        nettest::recvUpTo(fd, 1, 2000);
        nettest::sendAll(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
    });
    // Reads the whole hello, then an orderly close; or a reset with the hello unread.
    nettest::LoopbackServer hangUp([](int fd) { nettest::recvUpTo(fd, 1 << 16, 300); });
    nettest::LoopbackServer reset([](int fd) { nettest::recvUpTo(fd, 1, 2000); });
    expectThrowWith<ENetSSLProtocolReplyError>(
        [&] { fetch("https://localhost:" + std::to_string(plain.port()) + "/"); },
        "TLS handshake failed: wrong version number");
    expectThrowWith<ENetSSLProtocolReplyError>(
        [&] { fetch("https://localhost:" + std::to_string(hangUp.port()) + "/"); },
        "TLS handshake failed: the peer closed the connection");
    try {
        fetch("https://localhost:" + std::to_string(reset.port()) + "/");
        ADD_FAILURE() << "no failure";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.code(), 10054);  // as a reset reads over a plain socket
    }
    EXPECT_FALSE(http.IsConnected());
}

TEST_F(TLSTest, RedirectFromHttpToHttpsCarriesCookiesAndSecureOnesStayOffPlainHttp) {
    const Credential leaf = goodLeaf();
    TLSTestServer secure(leaf, serveEach([](const std::string&) {
        return okResponse("landed", "Set-Cookie: tok=3; secure; path=/\r\n");
    }));
    httptest::HTTPTestServer plain([&secure](httptest::Conn& conn) {
        for (std::string head = conn.readHead(); !head.empty(); head = conn.readHead()) {
            if (head.rfind("GET /start ", 0) == 0)
                conn.send("HTTP/1.1 302 Found\r\nLocation: " + secure.url("localhost", "/landing") +
                          "\r\nSet-Cookie: plain=1; path=/\r\nContent-Length: 0\r\n\r\n");
            else
                conn.send(okResponse("plain page"));
        }
    });
    const std::string plainBase = "http://localhost:" + std::to_string(plain.port());

    EXPECT_EQ(fetch(plainBase + "/start"), "landed");
    ASSERT_EQ(secure.requests().size(), 1u);
    EXPECT_EQ(httptest::requestLine(secure.requests()[0]), "GET /landing HTTP/1.1");
    EXPECT_NE(secure.requests()[0].find("\r\nCookie: plain=1\r\n"), std::string::npos) << secure.requests()[0];

    // The TLS handler is still the transport, passing plain bytes: tok stays home.
    EXPECT_EQ(fetch(plainBase + "/again"), "plain page");
    ASSERT_EQ(plain.requests().size(), 2u);
    EXPECT_NE(plain.requests()[1].find("Cookie: plain=1"), std::string::npos);
    EXPECT_EQ(plain.requests()[1].find("tok=3"), std::string::npos) << plain.requests()[1];

    EXPECT_EQ(fetch(secure.url("localhost", "/back")), "landed");
    ASSERT_EQ(secure.requests().size(), 2u);
    EXPECT_NE(secure.requests()[1].find("tok=3"), std::string::npos) << secure.requests()[1];
}

TEST_F(TLSTest, ChunkedAndReadUntilCloseBodiesOverTLS) {
    const Credential leaf = goodLeaf();
    const std::string big = randomBytes(700000, 7);
    TLSTestServer server(leaf, [&big](TLSConn& conn) {
        const std::string head = conn.readHead();
        if (head.rfind("GET /chunked ", 0) == 0) {
            conn.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
            std::vector<std::string> pieces;
            for (size_t at = 0; at < big.size(); at += 40000) pieces.push_back(big.substr(at, 40000));
            conn.sendChunked(pieces);
            conn.waitPeerClose();
        } else if (head.rfind("GET /close-notify ", 0) == 0) {
            conn.send("HTTP/1.0 200 OK\r\n\r\n" + big);
            conn.closeNotify();
        } else {
            // Whole records, then the socket's close without close_notify.
            conn.send("HTTP/1.0 200 OK\r\n\r\n");
            conn.send(big);
        }
    });
    EXPECT_EQ(fetch(server.url("localhost", "/chunked")), big);
    EXPECT_EQ(http.Response().StatusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(fetch(server.url("localhost", "/close-notify")), big);
    EXPECT_EQ(fetch(server.url("localhost", "/bare-close")), big);
}

TEST_F(TLSTest, ARedirectToTheSameHostGoesOverTheKeptConnection) {
    const Credential leaf = goodLeaf();
    TLSTestServer server(leaf, serveEach([](const std::string& head) {
        if (head.rfind("GET /first ", 0) == 0)
            return std::string("HTTP/1.1 302 Found\r\nLocation: /second\r\nContent-Length: 4\r\n\r\nmove");
        return okResponse("second page");
    }));
    EXPECT_EQ(fetch(server.url("localhost", "/first")), "second page");
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(httptest::requestLine(server.requests()[1]), "GET /second HTTP/1.1");
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(server.handshakes(), 1);
}

TEST_F(TLSTest, PeerClosingInsideARecordIsAnError) {
    const Credential leaf = goodLeaf();
    TLSTestServer server(leaf, [](TLSConn& conn) {
        conn.readHead();
        conn.send("HTTP/1.0 200 OK\r\n\r\n");
        conn.send("first part ");
        conn.sendCutRecord(std::string(3000, 'x'), 200);
    });
    rtl::TStringStream body;
    expectThrowWith<ENetSSLProtocolReplyError>([&] { http.GetToStream(server.url("localhost"), body); },
                                               text::kRecordCutShort);
    EXPECT_EQ(body.dataString(), "first part ");  // only what was whole
    http.CloseConnection();
}

TEST_F(TLSTest, StalledHandshakeTimesOutWhileTheGuiIsPumped) {
    // Accepts, reads the client's hello and never answers.
    nettest::LoopbackServer silent([](int fd) { nettest::recvUpTo(fd, 1 << 20, 3000); });
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    int pumps = 0;
    TNetAntiFreeze::SetMessagePump([&pumps] { ++pumps; }, [&pumps] { ++pumps; });
    const std::string url = "https://localhost:" + std::to_string(silent.port()) + "/";

    http.ReadTimeout = 600;
    const auto start = std::chrono::steady_clock::now();
    expectThrowWith<ENetSSLHandshakeTimeout>([&] { fetch(url); }, "TLS handshake timed out.");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(ms.count(), 550);
    EXPECT_LT(ms.count(), 3000);
    EXPECT_GE(pumps, 8);

    // Stop while the handshake waits: the pumped handler closes the connection.
    http.ReadTimeout = 0;
    pumps = 0;
    TNetAntiFreeze::SetMessagePump([&] { if (++pumps == 5) http.CloseConnection(); }, nullptr);
    const auto stopStart = std::chrono::steady_clock::now();
    EXPECT_THROW(fetch(url), ENetConnClosedGracefully);
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::seconds(3));
    EXPECT_FALSE(http.IsConnected());
    TNetAntiFreeze::SetMessagePump(nullptr, nullptr);
}

TEST_F(TLSTest, ReadTimeOutAlsoWhenOnlyPartOfARecordCame) {
    const Credential leaf = goodLeaf();
    nettest::Latch done;
    TLSTestServer server(leaf, [&done](TLSConn& conn) {
        conn.readHead();
        conn.send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
        conn.send("begin");
        conn.sendCutRecord(std::string(3000, 'y'), 100);  // the rest of the record never comes
        done.wait(5000);
    });
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    int pumps = 0;
    TNetAntiFreeze::SetMessagePump([&pumps] { ++pumps; }, [&pumps] { ++pumps; });
    int64_t worked = 0;
    http.OnWork = [&worked](TNetComponent&, TWorkMode mode, int64_t count) {
        if (mode == TWorkMode::wmRead) worked = count;
    };
    http.ReadTimeout = 500;
    rtl::TStringStream body;
    const auto start = std::chrono::steady_clock::now();
    expectThrowWith<ENetReadTimeout>([&] { http.GetToStream(server.url("localhost"), body); }, "Read Timeout");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    done.release();
    EXPECT_GE(ms.count(), 450);
    EXPECT_LT(ms.count(), 3000);
    EXPECT_GE(pumps, 5);
    EXPECT_EQ(body.dataString(), "begin");
    EXPECT_EQ(worked, 5);  // work events count the decrypted body bytes
    http.OnWork = nullptr;
    TNetAntiFreeze::SetMessagePump(nullptr, nullptr);
}

TEST_F(TLSTest, TrustComesFromTheSystemStoreUnlessTheVariablesNameOthers) {
    const Credential leaf = goodLeaf();
    TLSTestServer server(leaf, serveEach([](const std::string&) { return okResponse("trusted"); }));
    const std::string url = server.url("localhost");

    // A folder of hashed certificates (SSL_CERT_DIR alone).
    const std::string hashed = folder + "/hashed";
    ASSERT_EQ(::mkdir(hashed.c_str(), 0700), 0);
    char name[32];
    std::snprintf(name, sizeof name, "/%08lx.0", X509_subject_name_hash(root.certificate.get()));
    std::ifstream in(root.certFile, std::ios::binary);
    std::ofstream(hashed + name, std::ios::binary) << in.rdbuf();
    ::unsetenv("SSL_CERT_FILE");
    ::setenv("SSL_CERT_DIR", hashed.c_str(), 1);
    TNetHTTP viaFolder;
    ConfigurePageFetcher(viaFolder);
    rtl::TStringStream body;
    viaFolder.GetToStream(url, body);
    viaFolder.CloseConnection();
    EXPECT_EQ(body.dataString(), "trusted");

    // The system's store does not know our test root. The store is read when a
    // handler makes its first connection, so a fresh handler sees the change.
    ::unsetenv("SSL_CERT_DIR");
    TNetHTTP systemOnly;
    ConfigurePageFetcher(systemOnly);
    rtl::TStringStream refused;
    expectThrowWith<ENetSSLCertificateError>(
        [&] { systemOnly.GetToStream(url, refused); },
        "Certificate verify failed: certificate issuer is not trusted (host localhost)");
    systemOnly.CloseConnection();
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(TLSTest, StopFromAWorkEventEndsATransferQuietly) {
    const Credential leaf = goodLeaf();
    const std::string piece = randomBytes(64 * 1024, 3);
    const size_t total = 64 * piece.size();
    TLSTestServer server(leaf, [&](TLSConn& conn) {
        conn.readHead();
        if (!conn.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(total) + "\r\n\r\n")) return;
        for (int i = 0; i < 64; ++i) {
            if (!conn.send(piece)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    int64_t seen = 0;
    http.OnWork = [&](TNetComponent&, TWorkMode mode, int64_t count) {
        seen = count;
        if (mode == TWorkMode::wmRead && count >= 256 * 1024) http.CloseConnection();
    };
    rtl::TStringStream body;
    EXPECT_NO_THROW(http.GetToStream(server.url("localhost"), body));
    EXPECT_GE(body.dataString().size(), 256u * 1024);
    EXPECT_LT(body.dataString().size(), total);
    std::string expected;
    for (int i = 0; i < 64; ++i) expected += piece;
    EXPECT_TRUE(body.dataString() == expected.substr(0, body.dataString().size()));
    EXPECT_FALSE(http.IsConnected());
    http.OnWork = nullptr;

    // The same client goes on with a new connection afterwards.
    TLSTestServer small(leaf, serveEach([](const std::string&) { return okResponse("after"); }));
    EXPECT_EQ(fetch(small.url("localhost")), "after");
}

TEST_F(TLSTest, HttpsThroughAConnectProxyVerifiesTheTargetHost) {
    const Credential leaf = goodLeaf();
    TLSTestServer server(leaf, serveEach([](const std::string&) { return okResponse("tunnelled"); }));
    tlstest::ConnectProxy proxy;
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(proxy.port());

    EXPECT_EQ(fetch(server.url("localhost", "/secret?x=1")), "tunnelled");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(httptest::requestLine(proxy.requests()[0]),
              "CONNECT localhost:" + std::to_string(server.port()) + " HTTP/1.1");
    EXPECT_EQ(server.lastServerName(), "localhost");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(httptest::requestLine(server.requests()[0]), "GET /secret?x=1 HTTP/1.1");
    // The proxy saw the request only encrypted.
    EXPECT_EQ(proxy.relayedFromClient().find("secret"), std::string::npos);
    EXPECT_GT(proxy.relayedFromClient().size(), 100u);

    // A certificate for another name is refused through the tunnel as well.
    const Credential other = pki->leaf("elsewhere.test", {"DNS:elsewhere.test"}, &root);
    TLSTestServer wrong(other, serveEach([](const std::string&) { return okResponse("no"); }));
    expectThrowWith<ENetSSLCertificateError>(
        [&] { fetch(wrong.url("localhost")); },
        "Certificate verify failed: certificate is not valid for this host name (host localhost)");
    EXPECT_TRUE(wrong.requests().empty());
}

// Debian's own TLS server, serving files from a folder (HTTP/1.0, body to the close).
TEST_F(TLSTest, DebianOpensslServerServesABodyOverTLS) {
    if (std::system("command -v openssl > /dev/null 2>&1") != 0) GTEST_SKIP() << "openssl missing";
    const Credential leaf = goodLeaf();
    const std::string body = randomBytes(3 * 1024 * 1024 + 17, 11);
    std::ofstream(folder + "/big.bin", std::ios::binary) << body;
    const int port = nettest::unusedPort();
    const std::string command = "cd " + folder + " && exec openssl s_server -quiet -WWW -accept 127.0.0.1:" +
                                std::to_string(port) + " -cert " + leaf.certFile + " -key " + leaf.keyFile +
                                " > s_server.log 2>&1 < /dev/null";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    bool up = false;
    for (int i = 0; i < 250 && !up; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (up) {
        EXPECT_EQ(fetch("https://localhost:" + std::to_string(port) + "/big.bin"), body);
        EXPECT_EQ(http.Response().StatusLine, "HTTP/1.0 200 ok");
        EXPECT_EQ(tls().LastHandshake().PeerSubject, "CN=localhost");
    }
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(up) << "openssl s_server did not start";
}
