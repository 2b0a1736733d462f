// MX lookup: the query on the wire, names with compression, and whole lookups
// against Debian's dnsmasq and a server of ours that sends crafted answers.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "MailTestServers.h"
#include "crashreport/DNSMessage.h"
#include "crashreport/MXLookup.h"
#include "crashreport/MailFormat.h"
#include "crashreport/QuillClientSocket.h"

using namespace crashreport;
using namespace testsupport;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

TDNSSettings settingsFor(const QTemporaryDir& dir, uint16_t port, const std::string& resolvConf, int timeoutMs = 3000) {
    TDNSSettings s;
    s.resolvConf = dir.path().toStdString() + "/resolv.conf";
    testsupport::writeWholeFile(s.resolvConf, resolvConf);
    s.port = port;
    s.timeoutMs = timeoutMs;
    s.fallbackServer = "127.0.0.1";
    return s;
}

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(DNSMessage, QueryIsTheStandardFormat) {
    std::string query;
    ASSERT_TRUE(buildMXQuery(0xBEEF, "Alpha.test.", query));
    EXPECT_EQ(query, bytes({0xBE, 0xEF, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 5, 'A', 'l', 'p', 'h', 'a', 4, 't', 'e',
                            's', 't', 0, 0, 15, 0, 1}));
    EXPECT_FALSE(buildMXQuery(1, "", query));
    EXPECT_FALSE(buildMXQuery(1, "a..b", query));
    EXPECT_FALSE(buildMXQuery(1, ".a", query));
    EXPECT_FALSE(buildMXQuery(1, "bad name.test", query));
    EXPECT_FALSE(buildMXQuery(1, std::string(64, 'x') + ".test", query));
    EXPECT_TRUE(buildMXQuery(1, std::string(63, 'x') + ".test", query));
    std::string longest;  // 253 characters in labels of 63
    while (longest.size() < 253) longest += (longest.empty() ? "" : ".") + std::string(std::min<size_t>(63, 252 - longest.size()), 'y');
    ASSERT_EQ(longest.size(), 253u);
    EXPECT_TRUE(buildMXQuery(1, longest, query));
    EXPECT_FALSE(buildMXQuery(1, longest + "z", query));
}

TEST(DNSMessage, NamesFollowPointersWithinBounds) {
    // 0: "mail" 3: -> at 12, 12: "example" "test" 0
    const std::string message = bytes({4, 'm', 'a', 'i', 'l', 0xC0, 12, 0x80, 0x80, 0x80, 0x80, 0x80, 7, 'e', 'x', 'a',
                                       'm', 'p', 'l', 'e', 4, 't', 'e', 's', 't', 0, 0xC0, 0, 0xC0, 28, 0xC0, 40});
    size_t at = 0;
    std::string name;
    ASSERT_TRUE(readDNSName(message, at, name));
    EXPECT_EQ(name, "mail.example.test");
    EXPECT_EQ(at, 7u);  // just past the pointer, not where it led
    at = 26;
    ASSERT_TRUE(readDNSName(message, at, name));  // a pointer to a name that itself ends in a pointer
    EXPECT_EQ(name, "mail.example.test");
    EXPECT_EQ(at, 28u);
    at = 28;
    EXPECT_FALSE(readDNSName(message, at, name)) << "a pointer to itself is a loop";
    at = 30;
    EXPECT_FALSE(readDNSName(message, at, name)) << "a pointer past the end";
    at = 7;
    EXPECT_FALSE(readDNSName(message, at, name)) << "a reserved label kind";
    at = 26;  // a pointer cut after its first byte
    EXPECT_FALSE(readDNSName(message.substr(0, 27), at, name));

    // Many pointers in a row that end well: more hops than the bound are refused all the same.
    std::string chain = bytes({1, 'a', 0});
    for (int i = 0; i < kMaxDNSPointerHops + 1; ++i) chain += bytes({0xC0, i == 0 ? 0 : 3 + 2 * (i - 1)});
    at = chain.size() - 2;
    EXPECT_FALSE(readDNSName(chain, at, name));
    at = 3 + 2 * (kMaxDNSPointerHops - 1);  // exactly kMaxDNSPointerHops hops
    EXPECT_TRUE(readDNSName(chain, at, name));
    EXPECT_EQ(name, "a");

    // A name over 255 bytes on the wire is refused even without pointers.
    std::string longName;
    for (int i = 0; i < 5; ++i) longName += static_cast<char>(63) + std::string(63, 'q');
    longName += '\0';
    at = 0;
    EXPECT_FALSE(readDNSName(longName, at, name));
}

TEST(DNSMessage, AnswerMustMatchTheQuery) {
    std::string query;
    ASSERT_TRUE(buildMXQuery(0x1234, "alpha.test", query));
    // The real answer dnsmasq gave for this query (two MX records, compressed).
    const std::string answerHex =
        "12348580000100020000000005616c706861047465737400000f0001c00c000f000100000000000d000a096c6f63616c686f7374"
        "00c00c000f000100000000000f00140366617207696e76616c696400";
    std::string answer;
    for (size_t i = 0; i < answerHex.size(); i += 2) answer += static_cast<char>(std::stoi(answerHex.substr(i, 2), nullptr, 16));
    TDNSAnswer a = parseMXAnswer(answer, 0x1234, "alpha.test");
    ASSERT_EQ(a.status, TDNSAnswerStatus::Exchanger) << a.problem;
    EXPECT_EQ(a.exchanger, "localhost");
    EXPECT_EQ(a.preference, 10);
    EXPECT_EQ(parseMXAnswer(answer, 0x1235, "alpha.test").status, TDNSAnswerStatus::NotOurs);
    EXPECT_EQ(parseMXAnswer(answer, 0x1234, "beta.test").status, TDNSAnswerStatus::NotOurs);
    EXPECT_EQ(parseMXAnswer(answer, 0x1234, "ALPHA.Test.").status, TDNSAnswerStatus::Exchanger);
    EXPECT_EQ(parseMXAnswer(query, 0x1234, "alpha.test").status, TDNSAnswerStatus::NotOurs) << "a query is no answer";
    // Every cut of the answer is refused or read without the cut record, never read past its end.
    for (size_t cut = 0; cut < answer.size(); ++cut) {
        const TDNSAnswer partial = parseMXAnswer(answer.substr(0, cut), 0x1234, "alpha.test");
        EXPECT_NE(partial.status, TDNSAnswerStatus::Exchanger) << "cut at " << cut;
    }
    // A record length that runs past the end.
    std::string broken = answer;
    broken[39] = 0x7F;  // the first record's RDLENGTH
    EXPECT_EQ(parseMXAnswer(broken, 0x1234, "alpha.test").status, TDNSAnswerStatus::Malformed);
}

TEST(MXLookup, ResolvConfServersInOrder) {
    EXPECT_EQ(nameServersFromResolvConf("# comment\nsearch example.test\nnameserver 10.0.0.1\n"
                                        "nameserver ::1\n  nameserver\t192.168.1.1 # home\nnameserver 300.1.1.1\n"
                                        "; nameserver 10.9.9.9\nnameservers 10.8.8.8\nnameserver 10.0.0.2"),
              (std::vector<std::string>{"10.0.0.1", "192.168.1.1", "10.0.0.2"}));
    std::string many;
    for (int i = 0; i < 20; ++i) many += "nameserver 10.0.0." + std::to_string(i) + "\n";
    EXPECT_EQ(nameServersFromResolvConf(many).size(), kMaxNameServers);
    QTemporaryDir dir;
    TDNSSettings s = settingsFor(dir, 53, "search only.test\n");
    s.fallbackServer = "127.0.0.9";
    EXPECT_EQ(dnsServers(s), std::vector<std::string>{"127.0.0.9"});
    s.resolvConf = dir.path().toStdString() + "/absent";
    EXPECT_EQ(dnsServers(s), std::vector<std::string>{"127.0.0.9"});
}

TEST(MXLookup, AgainstDnsmasqTheLowestPreferenceIsTaken) {
    if (!Dnsmasq::installed()) GTEST_SKIP() << "dnsmasq (dnsmasq-base) is not installed";
    QTemporaryDir dir;
    Dnsmasq dns(dir, {"alpha.test,far.invalid,20", "alpha.test,near.test,5", "alpha.test,mid.test,10"});
    ASSERT_TRUE(dns.started()) << dns.log();
    const TDNSSettings s = settingsFor(dir, dns.port(), "nameserver 127.0.0.1\n");
    EXPECT_EQ(lookupMX("alpha.test", s), "near.test");
    EXPECT_EQ(dns.mxQueries("alpha.test"), 1);
    // No MX record: dnsmasq refuses (no upstream), and the lookup says so.
    try {
        lookupMX("gamma.test", s);
        ADD_FAILURE() << "gamma.test has no MX record";
    } catch (const EQuillSocketError& e) {
        EXPECT_EQ(e.message().substr(0, e.message().find("\r\n")), "Cannot resolve the \"gamma.test\" MX record.");
        EXPECT_NE(e.message().find("127.0.0.1: The server answered with error"), std::string::npos) << e.message();
    }
    // Without nameserver lines the fallback server is asked.
    const TDNSSettings fallback = settingsFor(dir, dns.port(), "options ndots:1\n");
    EXPECT_EQ(lookupMX("alpha.test", fallback), "near.test");
    EXPECT_EQ(dns.mxQueries("alpha.test"), 2);
}

TEST(MXLookup, CraftedAnswersCompressionLoopsAndStrays) {
    QTemporaryDir dir;
    struct Case {
        const char* mode;
        const char* exchanger;  // null: no exchanger
    } cases[] = {{"compressed", "primary.example.test"}, {"wrongid", "primary.example.test"},
                 {"otherq", "primary.example.test"}, {"loop", nullptr}, {"loop2", nullptr},
                 {"truncated", nullptr}, {"nxdomain", nullptr}, {"nullmx", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        CraftedDNS server(dir, c.mode);
        ASSERT_NE(server.port(), 0);
        const TDNSSettings s = settingsFor(dir, server.port(), "nameserver 127.0.0.1\n", 5000);
        const auto start = std::chrono::steady_clock::now();
        if (c.exchanger) {
            EXPECT_EQ(lookupMX("example.test", s), c.exchanger);
        } else {
            try {
                const std::string got = lookupMX("example.test", s);
                ADD_FAILURE() << "took \"" << got << "\"";
            } catch (const EQuillSocketError& e) {
                EXPECT_EQ(e.message().substr(0, e.message().find("\r\n")),
                          "Cannot resolve the \"example.test\" MX record.");
            }
        }
        // A refused answer ends the wait for this server at once: no hang, no time-out.
        EXPECT_LT(msSince(start), 3000) << "well before the time-out of 5000 ms";
        EXPECT_EQ(server.queries(), 1);
    }
}

TEST(MXLookup, EachServerInTurnUntilOneAnswers) {
    QTemporaryDir dir;
    // Same port on three loopback addresses: a silent one, a looping one, a good one.
    const int port = freeUdpPort();
    CraftedDNS silent(dir, "silent", "127.0.0.2", port);
    CraftedDNS looping(dir, "loop", "127.0.0.3", port);
    CraftedDNS good(dir, "compressed", "127.0.0.4", port);
    ASSERT_EQ(good.port(), port);
    const TDNSSettings s = settingsFor(
        dir, static_cast<uint16_t>(port), "nameserver 127.0.0.2\nnameserver 127.0.0.3\nnameserver 127.0.0.4\n", 400);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lookupMX("example.test", s), "primary.example.test");
    EXPECT_GE(msSince(start), 350);  // the silent server's time-out of 400 ms
    EXPECT_LT(msSince(start), 3000);
    EXPECT_EQ(silent.queries(), 1);
    EXPECT_EQ(looping.queries(), 1);
    EXPECT_EQ(good.queries(), 1);

    // None answers: the message names each server and why.
    const TDNSSettings none = settingsFor(dir, static_cast<uint16_t>(port), "nameserver 127.0.0.2\nnameserver 127.0.0.3\n", 300);
    try {
        lookupMX("example.test", none);
        ADD_FAILURE() << "no server gives an exchanger";
    } catch (const EQuillSocketError& e) {
        EXPECT_EQ(e.message(), "Cannot resolve the \"example.test\" MX record.\r\n127.0.0.2: Socket timeout.\r\n"
                               "127.0.0.3: The answer is malformed.");
    }
    // Nothing listens: the refusal comes back at once.
    const TDNSSettings closed = settingsFor(dir, static_cast<uint16_t>(freeUdpPort()), "nameserver 127.0.0.1\n", 5000);
    const auto again = std::chrono::steady_clock::now();
    EXPECT_THROW(lookupMX("example.test", closed), EQuillSocketError);
    EXPECT_LT(msSince(again), 3000);
}
