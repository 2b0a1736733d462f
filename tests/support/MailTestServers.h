#pragma once
// The servers of the report delivery tests, each a child process on 127.0.0.1:
// Debian's dnsmasq with MX records, our crafted-answer DNS server, and the
// aiosmtpd-based SMTP sink (tests/servers). Each ends with its object.

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildServer.h"

namespace testsupport {

inline constexpr char kDnsmasq[] = "/usr/sbin/dnsmasq";
inline constexpr char kSystemPython[] = "/usr/bin/python3";  // Debian's, with python3-aiosmtpd

inline std::string inFolder(const QTemporaryDir& dir, const std::string& name) {
    return dir.path().toStdString() + "/" + name;
}

// A loopback port free for both UDP and TCP at the time of asking (dnsmasq listens on both).
inline int freeUdpPort() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t length = sizeof a;
        ::getsockname(udp, reinterpret_cast<sockaddr*>(&a), &length);
        const int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
        const bool bothFree = ::bind(tcp, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(tcp);
        ::close(udp);
        if (bothFree) return ntohs(a.sin_port);
    }
    return 0;
}

inline int countOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// Debian's dnsmasq on a loopback port with the given --mx-host records and no upstream servers.
class Dnsmasq {
public:
    Dnsmasq(const QTemporaryDir& dir, const std::vector<std::string>& mxHosts) : m_log(inFolder(dir, "dnsmasq.log")) {
        // Another process may take the port between our asking and dnsmasq's binding: then a new port is tried.
        for (int attempt = 0; attempt < 5 && !started(); ++attempt) {
            m_port = freeUdpPort();
            ::truncate(m_log.c_str(), 0);  // no word of an earlier attempt is read as this one's
            std::vector<std::string> argv{kDnsmasq, "--no-daemon", "--no-resolv", "--no-hosts",
                                          "--conf-file=/dev/null", "--port=" + std::to_string(m_port),
                                          "--listen-address=127.0.0.1", "--bind-interfaces", "--log-queries",
                                          "--log-facility=-", "--pid-file="};
            if (::getuid() == 0) argv.push_back("--user=root");
            for (const std::string& mx : mxHosts) argv.push_back("--mx-host=" + mx);
            m_server = std::make_unique<TChildServer>(argv, m_log);
            m_server->endWithSignal();
            for (int i = 0; i < 200 && !started() && log().find("failed to") == std::string::npos; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    static bool installed() { return ::access(kDnsmasq, X_OK) == 0; }
    bool started() const { return log().find("started") != std::string::npos; }
    std::string log() const { return readWholeFile(m_log); }
    uint16_t port() const { return static_cast<uint16_t>(m_port); }
    int mxQueries(const std::string& domain) const { return countOf(log(), "query[MX] " + domain + " from"); }

private:
    std::string m_log;
    int m_port = 0;
    std::unique_ptr<TChildServer> m_server;
};

// tests/servers/dns_crafted.py in one of its modes.
class CraftedDNS {
public:
    CraftedDNS(const QTemporaryDir& dir, const std::string& mode, const std::string& address = "127.0.0.1",
               int port = 0)
        : m_log(inFolder(dir, mode + "-" + address + ".log")),
          m_server({kSystemPython, TESSALY_TEST_SERVERS "/dns_crafted.py", "--mode", mode, "--address", address,
                    "--port", std::to_string(port), "--log", m_log}) {
        m_port = m_server.firstLineAsPort();
    }
    uint16_t port() const { return static_cast<uint16_t>(m_port); }
    int queries() const { return countOf(readWholeFile(m_log), "\n"); }

private:
    std::string m_log;
    TChildServer m_server;
    int m_port = 0;
};

// tests/servers/smtp_sink.py: stores what it receives in its own folder.
class SMTPSink {
public:
    explicit SMTPSink(const QTemporaryDir& dir, std::vector<std::string> options = {})
        : m_store(inFolder(dir, "sink")), m_server(argv(m_store, std::move(options))) {
        m_port = m_server.firstLineAsPort();
    }
    uint16_t port() const { return static_cast<uint16_t>(m_port); }
    std::string commands() const { return readWholeFile(m_store + "/commands.log"); }
    std::string mailPath(int n) const { return m_store + "/mail-" + std::to_string(n) + ".eml"; }
    std::string mail(int n) const { return readWholeFile(mailPath(n)); }
    std::string envelope(int n) const { return readWholeFile(m_store + "/mail-" + std::to_string(n) + ".env"); }
    bool hasMail(int n) const { return ::access(mailPath(n).c_str(), F_OK) == 0; }

private:
    static std::vector<std::string> argv(const std::string& store, std::vector<std::string> options) {
        ::mkdir(store.c_str(), 0700);
        std::vector<std::string> a{kSystemPython, TESSALY_TEST_SERVERS "/smtp_sink.py", "--store", store};
        a.insert(a.end(), options.begin(), options.end());
        return a;
    }

    std::string m_store;
    TChildServer m_server;
    int m_port = 0;
};

// Runs tests/servers/mime_dump.py over a stored mail into folder out.
inline bool dumpMime(const std::string& mail, const std::string& out) {
    ::mkdir(out.c_str(), 0700);
    TChildServer run({kSystemPython, TESSALY_TEST_SERVERS "/mime_dump.py", mail, out});
    for (int i = 0; i < 500 && run.running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ::access((out + "/parts.txt").c_str(), F_OK) == 0;
}

}  // namespace testsupport
