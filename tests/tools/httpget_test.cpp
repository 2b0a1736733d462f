// The httpget tool as a person runs it: exit codes, what it prints, where
// the body goes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "HTTPTestServer.h"
#include "TLSTestServer.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string errorOutput;
    std::string output;
};

ToolRun runHttpget(const std::string& arguments, const std::string& scratch) {
    const std::string errFile = scratch + ".err", outFile = scratch + ".out";
    const std::string command = std::string(TESSALY_HTTPGET) + " " + arguments + " > " + outFile + " 2> " + errFile;
    ToolRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    run.errorOutput = slurp(errFile);
    run.output = slurp(outFile);
    return run;
}

}  // namespace

TEST(Httpget, BodyStatusLineAndFailures) {
    httptest::HTTPTestServer server([](httptest::Conn& conn) {
        const std::string head = conn.readHead();
        if (head.find("GET /missing ") == 0) {
            conn.send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
            return;
        }
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello";
        conn.send(answer + std::string(1, '\0') + "world");
    });
    const std::string scratch = ::testing::TempDir() + "httpget_" + std::to_string(::getpid());

    const ToolRun ok = runHttpget(server.url("/page"), scratch);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.output, std::string("hello\0world", 11));  // bytes as they came
    EXPECT_EQ(ok.errorOutput, "HTTP/1.1 200 OK\n11 bytes\n");

    const ToolRun toFile = runHttpget(server.url("/page") + " -o " + scratch + ".body", scratch);
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(toFile.output, "");
    std::ifstream body(scratch + ".body", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(body), std::istreambuf_iterator<char>()),
              std::string("hello\0world", 11));

    const ToolRun missing = runHttpget(server.url("/missing"), scratch);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.errorOutput, "ENetHTTPProtocolException: HTTP/1.1 404 Not Found\n");

    // Nothing listens on port 1 of the loopback address.
    const ToolRun refused = runHttpget("http://127.0.0.1:1/", scratch);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errorOutput.rfind("ENetSocketError: Socket Error # 10061", 0), 0u) << refused.errorOutput;

    EXPECT_EQ(runHttpget("", scratch).exitCode, 2);
}

TEST(Httpget, HttpsWithHandshakeDetailsAndNoWayAroundARefusal) {
    char pattern[] = "/tmp/tessaly-httpget-tls-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    tlstest::TestPKI pki(folder);
    const tlstest::Credential root = pki.authority("Httpget Test Root");
    const tlstest::Credential leaf = pki.leaf("localhost", {"DNS:localhost"}, &root);
    tlstest::TLSTestServer server(leaf, [](tlstest::TLSConn& conn) {
        conn.readHead();
        conn.send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecure");
    });
    const std::string scratch = folder + "/run";
    const std::string url = server.url("localhost", "/p");

    ::setenv("SSL_CERT_FILE", root.certFile.c_str(), 1);
    ::setenv("SSL_CERT_DIR", folder.c_str(), 1);
    const ToolRun verbose = runHttpget("-v " + url, scratch);
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_EQ(verbose.output, "secure");
    EXPECT_EQ(verbose.errorOutput.rfind("TLS: TLSv1.3, TLS_", 0), 0u) << verbose.errorOutput;
    EXPECT_NE(verbose.errorOutput.find("\nPeer: CN=localhost\nHTTP/1.1 200 OK\n6 bytes\n"), std::string::npos)
        << verbose.errorOutput;
    // Without -v nothing about the handshake is printed.
    EXPECT_EQ(runHttpget(url, scratch).errorOutput, "HTTP/1.1 200 OK\n6 bytes\n");

    // The test root is no longer trusted: refused, and no option skips the check.
    ::setenv("SSL_CERT_FILE", leaf.keyFile.c_str(), 1);
    const ToolRun refused = runHttpget(url, scratch);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errorOutput,
              "ENetSSLCertificateError: Certificate verify failed: certificate issuer is not trusted (host localhost)\n");
    EXPECT_EQ(runHttpget("--insecure " + url, scratch).exitCode, 2);
    EXPECT_EQ(runHttpget("-k " + url, scratch).exitCode, 2);
    EXPECT_EQ(server.handshakes(), 2);
    ::unsetenv("SSL_CERT_FILE");
    ::unsetenv("SSL_CERT_DIR");
    std::system(("rm -rf " + folder).c_str());
}
