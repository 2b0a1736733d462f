#pragma once
// TLS peers for the tests, all on 127.0.0.1:
//  - TestPKI makes keys and certificates at run time (authorities, leaves,
//    self-signed, expired) and writes them as PEM files into a folder;
//  - TLSTestServer runs a script per accepted connection over TLS (blocking
//    OpenSSL on the server side, every wait bounded by a socket time-out),
//    counting finished and failed handshakes and every application byte read;
//  - ConnectProxy answers CONNECT with 200 and relays bytes both ways.

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/time.h>

#include <atomic>
#include <functional>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "HTTPTestServer.h"
#include "NetLoopbackServer.h"

namespace tlstest {

struct Credential {
    std::shared_ptr<EVP_PKEY> key;
    std::shared_ptr<X509> certificate;
    std::string certFile;  // the certificate (and the chain above it, for leaves)
    std::string keyFile;
};

class TestPKI {
public:
    static constexpr long kDay = 24 * 3600;

    explicit TestPKI(std::string folder) : m_folder(std::move(folder)) {}

    Credential authority(const std::string& name, const Credential* issuer = nullptr) {
        return make(name, {}, issuer, -kDay, 30 * kDay, true);
    }
    // sans: "DNS:localhost", "IP:127.0.0.1"; validity in seconds from now.
    // The leaf's file holds the leaf and the issuing intermediates.
    Credential leaf(const std::string& name, const std::vector<std::string>& sans, const Credential* issuer,
                    long notBefore = -kDay, long notAfter = 30 * kDay, const Credential* intermediate = nullptr) {
        Credential made = make(name, sans, issuer, notBefore, notAfter, false);
        if (intermediate) appendFile(made.certFile, readFile(intermediate->certFile));
        return made;
    }

private:
    static std::string readFile(const std::string& path) {
        std::string out;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
            std::fclose(f);
        }
        return out;
    }
    static void appendFile(const std::string& path, const std::string& text) {
        FILE* f = std::fopen(path.c_str(), "ab");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    static void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        if (!ext) throw std::runtime_error("bad extension " + value);
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }

    Credential make(const std::string& name, const std::vector<std::string>& sans, const Credential* issuer,
                    long notBefore, long notAfter, bool isAuthority) {
        Credential c;
        c.key.reset(EVP_EC_gen("P-256"), EVP_PKEY_free);
        c.certificate.reset(X509_new(), X509_free);
        X509* cert = c.certificate.get();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), ++m_serial);
        X509_gmtime_adj(X509_getm_notBefore(cert), notBefore);
        X509_gmtime_adj(X509_getm_notAfter(cert), notAfter);
        X509_set_pubkey(cert, c.key.get());
        X509_NAME* subject = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(name.c_str()),
                                   -1, -1, 0);
        X509* issuerCert = issuer ? issuer->certificate.get() : cert;
        X509_set_issuer_name(cert, X509_get_subject_name(issuerCert));
        addExtension(cert, issuerCert, NID_basic_constraints, isAuthority ? "critical,CA:TRUE" : "CA:FALSE");
        addExtension(cert, issuerCert, NID_key_usage,
                     isAuthority ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
        addExtension(cert, issuerCert, NID_subject_key_identifier, "hash");
        if (issuer) addExtension(cert, issuerCert, NID_authority_key_identifier, "keyid:always");
        if (!isAuthority) addExtension(cert, issuerCert, NID_ext_key_usage, "serverAuth");
        std::string sanText;
        for (const auto& san : sans) sanText += (sanText.empty() ? "" : ",") + san;
        if (!sanText.empty()) addExtension(cert, issuerCert, NID_subject_alt_name, sanText);
        X509_sign(cert, issuer ? issuer->key.get() : c.key.get(), EVP_sha256());

        const std::string base = m_folder + "/" + std::to_string(m_serial) + "-" + name;
        c.certFile = base + ".pem";
        c.keyFile = base + ".key";
        FILE* f = std::fopen(c.certFile.c_str(), "wb");
        PEM_write_X509(f, cert);
        std::fclose(f);
        f = std::fopen(c.keyFile.c_str(), "wb");
        PEM_write_PrivateKey(f, c.key.get(), nullptr, nullptr, 0, nullptr, nullptr);
        std::fclose(f);
        return c;
    }

    std::string m_folder;
    long m_serial = 0;
};

class TLSTestServer;

// One accepted TLS connection. Reads and writes block at most kWaitMs.
class TLSConn {
public:
    static constexpr int kWaitMs = 5000;
    TLSConn(SSL* ssl, int fd, TLSTestServer& server, int index) : m_ssl(ssl), m_fd(fd), m_server(server), m_index(index) {}
    int index() const { return m_index; }
    SSL* ssl() { return m_ssl; }

    // The next request head, "" when the peer closed or went quiet.
    inline std::string readHead();
    bool send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const int n = SSL_write(m_ssl, bytes.data() + done, static_cast<int>(bytes.size() - done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool sendChunked(const std::vector<std::string>& pieces) { return send(nettest::chunkedBody(pieces)); }
    // Our close_notify: an orderly end of the TLS stream.
    void closeNotify() { SSL_shutdown(m_ssl); }
    // Encrypts bytes as usual but puts only all but the last `keep` bytes of
    // the records on the wire; the script then returns, cutting the record.
    void sendCutRecord(const std::string& bytes, size_t dropTail) {
        BIO* memory = BIO_new(BIO_s_mem());
        BIO* socketBio = SSL_get_wbio(m_ssl);
        BIO_up_ref(socketBio);
        SSL_set0_wbio(m_ssl, memory);
        SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size()));
        char* data = nullptr;
        const long size = BIO_get_mem_data(memory, &data);
        const std::string records(data, static_cast<size_t>(size));
        SSL_set0_wbio(m_ssl, socketBio);
        nettest::sendAll(m_fd, records.substr(0, records.size() > dropTail ? records.size() - dropTail : 0));
        m_cut = true;
    }
    bool wasCut() const { return m_cut; }
    // Waits (bounded) until the peer closes.
    bool waitPeerClose() {
        char buffer[4096];
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (std::chrono::steady_clock::now() < end) {
            const int n = SSL_read(m_ssl, buffer, sizeof buffer);
            if (n > 0) continue;
            const int error = SSL_get_error(m_ssl, n);
            if (error == SSL_ERROR_WANT_READ) continue;
            return true;
        }
        return false;
    }

private:
    SSL* m_ssl;
    int m_fd;
    TLSTestServer& m_server;
    int m_index;
    std::string m_pending;
    bool m_cut = false;
};

class TLSTestServer {
public:
    using Script = std::function<void(TLSConn&)>;

    // tune, when given, changes the server's settings before it listens.
    TLSTestServer(const Credential& credential, Script script, std::function<void(SSL_CTX*)> tune = nullptr)
        : m_script(std::move(script)), m_ctx(makeContext(credential, tune), SSL_CTX_free),
          m_server([this](int fd) { serve(fd); }, 64) {
        // The server side writes through the library's socket BIO: a client
        // that went away must end the script, not the test program.
        ::signal(SIGPIPE, SIG_IGN);
    }

    int port() const { return m_server.port(); }
    int connections() const { return m_server.accepted(); }
    int handshakes() const { return m_handshakes; }
    int failedHandshakes() const { return m_failed; }
    // Application bytes read from clients, all connections together.
    long long bytesReceived() const { return m_bytes; }
    std::string url(const std::string& host, const std::string& path = "/") const {
        return "https://" + host + ":" + std::to_string(port()) + path;
    }
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_requests;
    }
    void record(const std::string& head) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_requests.push_back(head);
    }
    void countBytes(int n) { m_bytes += n; }
    // The SNI name the last client sent ("" without one).
    std::string lastServerName() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_serverName;
    }

private:
    static SSL_CTX* makeContext(const Credential& credential, const std::function<void(SSL_CTX*)>& tune) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
        if (tune) tune(ctx);
        if (SSL_CTX_use_certificate_chain_file(ctx, credential.certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(ctx, credential.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            SSL_CTX_free(ctx);
            throw std::runtime_error("server credential refused");
        }
        return ctx;
    }

    void serve(int fd) {
        timeval limit{TLSConn::kWaitMs / 1000, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        SSL* ssl = SSL_new(m_ctx.get());
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            ++m_failed;
            // Anything the client sends after a refused handshake would show here.
            char buffer[4096];
            while (SSL_read(ssl, buffer, sizeof buffer) > 0) countBytes(1);
            SSL_free(ssl);
            ERR_clear_error();
            return;
        }
        ++m_handshakes;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
            m_serverName = name ? name : "";
        }
        TLSConn conn(ssl, fd, *this, m_next++);
        m_script(conn);
        SSL_free(ssl);
        ERR_clear_error();
    }

    Script m_script;
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> m_ctx;
    std::atomic<int> m_next{0}, m_handshakes{0}, m_failed{0};
    std::atomic<long long> m_bytes{0};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::string m_serverName;
    nettest::LoopbackServer m_server;  // last: its threads stop before the rest goes
};

std::string TLSConn::readHead() {
    char buffer[8192];
    size_t found;
    while ((found = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (m_pending.size() > httptest::Conn::kMaxHead) return {};
        const int n = SSL_read(m_ssl, buffer, sizeof buffer);
        if (n <= 0) return {};
        m_server.countBytes(n);
        m_pending.append(buffer, static_cast<size_t>(n));
    }
    std::string head = m_pending.substr(0, found + 4);
    m_pending.erase(0, found + 4);
    m_server.record(head);
    return head;
}

// An HTTP proxy that only tunnels: CONNECT host:port, 200, then bytes both ways.
class ConnectProxy {
public:
    ConnectProxy() : m_server([this](httptest::Conn& conn) { tunnel(conn); }) {}
    int port() const { return m_server.port(); }
    std::vector<std::string> requests() const { return m_server.requests(); }
    // Every byte relayed from the client once the tunnel was up.
    std::string relayedFromClient() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_relayed;
    }

private:
    void tunnel(httptest::Conn& conn) {
        const std::string head = conn.readHead();
        int port = 0;
        if (std::sscanf(head.c_str(), "CONNECT 127.0.0.1:%d", &port) != 1 &&
            std::sscanf(head.c_str(), "CONNECT localhost:%d", &port) != 1) {
            conn.send("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(upstream);
            conn.send("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        conn.send("HTTP/1.1 200 Connection established\r\n\r\n");
        relay(conn.fd(), upstream);
        ::close(upstream);
    }
    // Until either side closes or nothing moves for 5 s.
    void relay(int client, int upstream) {
        char buffer[65536];
        while (true) {
            pollfd p[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
            if (::poll(p, 2, 5000) <= 0) return;
            for (int i = 0; i < 2; ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::recv(p[i].fd, buffer, sizeof buffer, 0);
                if (n <= 0) return;
                if (i == 0) {
                    std::lock_guard<std::mutex> guard(m_lock);
                    m_relayed.append(buffer, static_cast<size_t>(n));
                }
                if (!nettest::sendAll(i == 0 ? upstream : client, std::string(buffer, static_cast<size_t>(n)))) return;
            }
        }
    }

    mutable std::mutex m_lock;
    std::string m_relayed;
    httptest::HTTPTestServer m_server;
};

}  // namespace tlstest
