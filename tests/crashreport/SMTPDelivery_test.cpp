// Report delivery by SMTP against real servers on 127.0.0.1: Debian's aiosmtpd
// (tests/servers/smtp_sink.py) with its mails parsed back by Python's MIME
// parser, dnsmasq for the MX way, and scripted peers for hostile replies.
#include <gtest/gtest.h>
#include <poll.h>

#include <QImage>
#include <QTemporaryDir>
#include <chrono>
#include <regex>

#include "MailTestServers.h"
#include "NetLoopbackServer.h"
#include "crashreport/InternalNotices.h"
#include "crashreport/MailFormat.h"
#include "crashreport/QuillClientSMTP.h"
#include "crashreport/ReportDelivery.h"
#include "crashreport/SMTPReply.h"
#include "crashreport/SMTPSend.h"

using namespace crashreport;
using namespace testsupport;

namespace {

const std::string kReport =
    "QuillLog 4.6\r\n\r\nApplication:\r\n------------\r\n  1.1 Start Date : Mon, 1 Jan 2024\r\n"
    ".a line that begins with a dot\r\n.\r\n..two dots\r\nlast line";

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TQuillModuleOptionsEx mailOptions(uint16_t port) {
    TQuillModuleOptionsEx o;
    o.SendMethod = smSMTPServer;
    o.Sender = "app@example.test";
    o.Recipients = "dev@example.test";
    o.Subject = "Crash in Tessaly";
    o.Message = "Hello.";
    o.SMTPHost = "127.0.0.1";
    o.SMTPPort = port;
    o.SocketTimeout = 5000;
    return o;
}

TSendRequest requestFor(const TQuillModuleOptionsEx& options) {
    TSendRequest r;
    r.options = &options;
    r.reportText = kReport;
    r.currentReport = kReport;
    r.logFileName = "tessaly.qlf";
    return r;
}

TMailContent plainMail() {
    TMailContent m;
    m.sender = "app@example.test";
    m.subject = "s";
    m.text = "t";
    return m;
}

TSMTPSettings serverSettings(uint16_t port, int timeoutMs = 5000) {
    TSMTPSettings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.timeoutMs = timeoutMs;
    return s;
}

std::string lastNotice() {
    const auto notices = internalNotices();
    return notices.empty() ? std::string() : notices.back();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

}  // namespace

TEST(SMTPReplyReader, RepliesAreJudgedOnlyWhenWhole) {
    TSMTPReplyReader reader;
    const std::string bytes = "250-first\r\n250-second\n250 last\r\n220 next\r\n";
    size_t fed = 0;
    TSMTPReplyReader::TStatus status = TSMTPReplyReader::TStatus::NeedMore;
    while (status == TSMTPReplyReader::TStatus::NeedMore && fed < bytes.size()) status = reader.feed(bytes.substr(fed++, 1));
    ASSERT_EQ(status, TSMTPReplyReader::TStatus::Complete);
    EXPECT_EQ(fed, std::string("250-first\r\n250-second\n250 last\r\n").size()) << "complete at the last line's end";
    EXPECT_EQ(reader.reply().code, 250);
    EXPECT_EQ(reader.reply().lines, (std::vector<std::string>{"250-first", "250-second", "250 last"}));
    reader.feed(bytes.substr(fed));
    EXPECT_EQ(reader.next(), TSMTPReplyReader::TStatus::Complete);
    EXPECT_EQ(reader.reply().code, 220);
    EXPECT_EQ(reader.next(), TSMTPReplyReader::TStatus::NeedMore);

    // The code is the number of the leading digits, however many (within reason).
    EXPECT_EQ(replyCodeOf("354 go ahead"), 354);
    EXPECT_EQ(replyCodeOf("25x"), 25);
    EXPECT_EQ(replyCodeOf("2501"), 2501);
    EXPECT_EQ(replyCodeOf("hello"), -1);
    EXPECT_EQ(replyCodeOf(""), -1);
    EXPECT_EQ(replyCodeOf("1234567890 overflow"), -1);
    TSMTPReplyReader odd;
    EXPECT_EQ(odd.feed("250-\r\n25-x\r\n"), TSMTPReplyReader::TStatus::Complete) << "\"25-x\" ends the reply";
    EXPECT_EQ(odd.reply().code, 25);
}

TEST(SMTPReplyReader, OversizedRepliesFailAtOnce) {
    TSMTPReplyReader fits;
    EXPECT_EQ(fits.feed(std::string(kMaxReplyLineLength, '2') + "\r"), TSMTPReplyReader::TStatus::NeedMore);
    EXPECT_EQ(fits.feed("\n"), TSMTPReplyReader::TStatus::Complete);
    TSMTPReplyReader longLine;
    EXPECT_EQ(longLine.feed(std::string(kMaxReplyLineLength + 1, '2') + "\r\n"), TSMTPReplyReader::TStatus::Failed);
    TSMTPReplyReader noEnd;  // no line end yet, but already too long: no waiting for more
    EXPECT_EQ(noEnd.feed(std::string(kMaxReplyLineLength + 2, '2')), TSMTPReplyReader::TStatus::Failed);
    EXPECT_EQ(noEnd.feed("\r\n"), TSMTPReplyReader::TStatus::Failed) << "a failed reader stays failed";
    EXPECT_EQ(noEnd.next(), TSMTPReplyReader::TStatus::Failed);

    std::string many;
    for (size_t i = 0; i + 1 < kMaxReplyLines; ++i) many += "250-line\r\n";
    TSMTPReplyReader hundred;
    EXPECT_EQ(hundred.feed(many + "250 end\r\n"), TSMTPReplyReader::TStatus::Complete);
    EXPECT_EQ(hundred.reply().lines.size(), kMaxReplyLines);
    TSMTPReplyReader tooMany;
    EXPECT_EQ(tooMany.feed(many + "250-one more\r\n250 end\r\n"), TSMTPReplyReader::TStatus::Failed);
    EXPECT_EQ(tooMany.failure(), "The reply has too many lines.");
}

TEST(SMTPDelivery, ReportArrivesWithItsAttachments) {
    QTemporaryDir dir;
    const std::string temp = inFolder(dir, "tmp");
    ::mkdir(temp.c_str(), 0700);
    ::setenv("TMPDIR", temp.c_str(), 1);
    SMTPSink sink(dir);
    ASSERT_NE(sink.port(), 0);
    TQuillModuleOptionsEx options = mailOptions(sink.port());
    options.AttachScreenshot = true;
    TSendRequest request = requestFor(options);
    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    request.screenshotPath = inFolder(dir, "shot.png");
    ASSERT_TRUE(picture.save(QString::fromStdString(request.screenshotPath), "PNG"));
    const std::string png = readWholeFile(request.screenshotPath);

    ASSERT_TRUE(deliverBySMTP(request));
    ASSERT_TRUE(sink.hasMail(1));
    EXPECT_EQ(sink.envelope(1), "from=app@example.test\nto=dev@example.test\nlogin=\n");
    EXPECT_EQ(sink.commands(), "HELO " + localHostName() + "\nRSET\nMAIL FROM:<app@example.test>\n"
                                "RCPT TO:<dev@example.test>\nDATA\n");
    EXPECT_EQ(::rmdir(temp.c_str()), 0) << "the report file and its folder are gone after sending";
    ::unsetenv("TMPDIR");

    const std::string out = inFolder(dir, "parsed");
    ASSERT_TRUE(dumpMime(sink.mailPath(1), out));
    const std::vector<std::string> headers = lines(readWholeFile(out + "/headers.txt"));
    ASSERT_EQ(headers.size(), 11u) << readWholeFile(out + "/headers.txt");
    EXPECT_TRUE(std::regex_match(headers[0], std::regex(R"(Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), [1-9]\d? )"
                                                        R"((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} )"
                                                        R"(\d\d:\d\d:\d\d [+-]\d\d00)")))
        << headers[0];
    EXPECT_EQ(std::vector<std::string>(headers.begin() + 1, headers.end()),
              (std::vector<std::string>{"From: <app@example.test>", "Subject: Crash in Tessaly",
                                        "To: <dev@example.test>",
                                        "Content-Type: multipart/mixed; boundary=\"=_xcjvnxkbhvfkxzhfdbvzldjhfv\";",
                                        "MIME-Version: 1.0", "X-Priority: 1", "X-Library: QuillLog 4.6",
                                        "is-multipart: True", "boundary: =_xcjvnxkbhvfkxzhfdbvzldjhfv", "defects: 0"}));
    EXPECT_EQ(readWholeFile(out + "/parts.txt"),
              "0 text/plain - 7bit 0\n1 application/octet-stream tessaly.qlf base64 0\n"
              "2 image/png Screenshot.png base64 0\n");
    EXPECT_EQ(readWholeFile(out + "/part-0"), "Hello.\r\n");  // the last CR LF is the boundary's
    EXPECT_EQ(readWholeFile(out + "/part-1"), kReport);
    EXPECT_EQ(readWholeFile(out + "/part-2"), png);
    // Base64 lines of 76 characters in the mail as it arrived.
    const std::string raw = sink.mail(1);
    const size_t begin = raw.find("filename=\"tessaly.qlf\"\r\n\r\n") + 26;
    EXPECT_EQ(raw.find("\r\n", begin) - begin, kBase64LineLength);
}

TEST(SMTPDelivery, ReportInBodyKeepsItsDotLinesAndSkipsMissingFiles) {
    QTemporaryDir dir;
    SMTPSink sink(dir);
    TQuillModuleOptionsEx options = mailOptions(sink.port());
    options.ReportInBody = true;
    options.AttachScreenshot = true;
    TSendRequest request = requestFor(options);
    request.screenshotPath = inFolder(dir, "never-made.png");
    ASSERT_TRUE(deliverBySMTP(request));
    // A line holding only "." would have ended the message early; the rest keep their dots.
    const std::string out = inFolder(dir, "parsed");
    ASSERT_TRUE(dumpMime(sink.mailPath(1), out));
    EXPECT_EQ(readWholeFile(out + "/parts.txt"), "0 text/plain - 7bit 0\n");
    EXPECT_EQ(readWholeFile(out + "/part-0"), "Hello.\r\n\r\n\r\n" + kReport);
    EXPECT_NE(sink.mail(1).find("\r\n.a line that begins with a dot\r\n.\r\n..two dots\r\n"), std::string::npos);
}

TEST(SMTPDelivery, AuthLoginKeepsThePasswordOutOfTheLog) {
    QTemporaryDir dir;
    SMTPSink sink(dir, {"--auth", "alice:s3cret-pw"});
    TSMTPSettings settings = serverSettings(sink.port());
    settings.user = "alice";
    settings.password = "s3cret-pw";
    TSMTPOutcome good = sendToRecipient("dev@example.test", plainMail(), settings);
    ASSERT_TRUE(good.sent) << good.error;
    EXPECT_EQ(sink.envelope(1), "from=app@example.test\nto=dev@example.test\nlogin=alice\n");
    EXPECT_EQ(sink.commands(), "EHLO " + localHostName() + "\nRSET\nAUTH LOGIN\nMAIL FROM:<app@example.test>\n"
                                "RCPT TO:<dev@example.test>\nDATA\n");

    settings.password = "wrong-pw";
    TSMTPOutcome bad = sendToRecipient("dev@example.test", plainMail(), settings);
    EXPECT_FALSE(bad.sent);
    EXPECT_FALSE(sink.hasMail(2));
    EXPECT_EQ(bad.error.substr(0, bad.error.find("\r\n")), "The server answered \"***\" with \"535 5.7.8 Authentication credentials invalid\".");
    EXPECT_NE(bad.error.find("Socket log:\r\nConnected to 127.0.0.1 port " + std::to_string(sink.port()) + "\r\n"),
              std::string::npos);
    EXPECT_NE(bad.error.find("> AUTH LOGIN\r\n< 334 VXNlciBOYW1lAA==\r\n> ***\r\n< 334 UGFzc3dvcmQA\r\n> ***\r\n< 535"),
              std::string::npos)
        << bad.error;
    EXPECT_EQ(bad.error.find("wrong-pw"), std::string::npos);
    EXPECT_EQ(bad.error.find("d3JvbmctcHc="), std::string::npos);  // its Base64
    EXPECT_EQ(bad.error.find("YWxpY2U="), std::string::npos);
}

TEST(SMTPDelivery, EhloErrorEndsTheConversationBeforeAuth) {
    QTemporaryDir dir;
    SMTPSink sink(dir, {"--ehlo-error", "--auth", "alice:pw"});
    TQuillModuleOptionsEx options = mailOptions(sink.port());
    options.SMTPUser = "alice";
    options.SMTPPassword = "pw";
    EXPECT_FALSE(deliverBySMTP(requestFor(options)));
    EXPECT_EQ(sink.commands(), "EHLO " + localHostName() + "\n");
    EXPECT_FALSE(sink.hasMail(1));
    EXPECT_EQ(lastNotice().substr(0, lastNotice().find("\r\n")),
              "[WARNING] - Code: eeEmailSMTPError - Address: 0000000000000000 - Message: \"The server answered \"EHLO " +
                  localHostName() + "\" with \"554 No EHLO here\".");
}

TEST(SMTPDelivery, Rcpt251IsAccepted) {
    QTemporaryDir dir;
    SMTPSink sink(dir, {"--rcpt-251"});
    TMailContent mail = plainMail();
    const TSMTPOutcome outcome = sendToRecipient("far@example.test", mail, serverSettings(sink.port()));
    EXPECT_TRUE(outcome.sent) << outcome.error;
    EXPECT_EQ(sink.envelope(1), "from=app@example.test\nto=far@example.test\nlogin=\n");
}

TEST(SMTPDelivery, TwoRecipientsThroughTheirMailExchangers) {
    if (!Dnsmasq::installed()) GTEST_SKIP() << "dnsmasq (dnsmasq-base) is not installed";
    QTemporaryDir dir;
    Dnsmasq dns(dir, {"alpha.test,localhost,10", "beta.test,localhost,10"});
    ASSERT_TRUE(dns.started()) << dns.log();
    SMTPSink sink(dir, {"--reject", "bad@beta.test"});
    TQuillModuleOptionsEx options = mailOptions(sink.port());
    options.SendMethod = smSMTPDirect;
    options.SMTPHost = "unused.invalid";
    options.Recipients = "good@alpha.test; bad@beta.test";
    options.ResolvConf = inFolder(dir, "resolv.conf");
    options.DNSPort = dns.port();
    writeWholeFile(options.ResolvConf, "nameserver 127.0.0.1\n");

    std::vector<TSMTPOutcome> outcomes;
    std::vector<std::pair<int, size_t>> steps;
    const bool sent = sendBySMTP(splitRecipients(options.Recipients), plainMail(), smtpSettingsFrom(options),
                                 [&](int text, size_t recipient) { steps.emplace_back(text, recipient); }, &outcomes);
    EXPECT_TRUE(sent) << "one of the two conversations succeeded";
    EXPECT_EQ(dns.mxQueries("alpha.test"), 1);
    EXPECT_EQ(dns.mxQueries("beta.test"), 1);
    EXPECT_EQ(countOf(sink.commands(), "HELO "), 2);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(outcomes[0].sent);
    EXPECT_EQ(outcomes[0].server, "localhost");
    EXPECT_FALSE(outcomes[1].sent);
    EXPECT_EQ(outcomes[1].error.substr(0, outcomes[1].error.find("\r\n")),
              "The server answered \"RCPT TO:<bad@beta.test>\" with \"550 No such user here\".");
    EXPECT_NE(lastNotice().find("eeEmailSMTPError"), std::string::npos);
    EXPECT_EQ(sink.envelope(1), "from=app@example.test\nto=good@alpha.test\nlogin=\n");
    EXPECT_FALSE(sink.hasMail(2));
    const std::vector<std::pair<int, size_t>> expected{
        {txtResolvingMX, 0}, {txtConnectingSMTP, 0}, {txtConnectedSMTP, 0}, {txtSendingMessage, 0},
        {txtResolvingMX, 1}, {txtConnectingSMTP, 1}, {txtConnectedSMTP, 1}, {txtSendingMessage, 1}};
    EXPECT_EQ(steps, expected);

    // A domain without an exchanger: that recipient fails at the lookup, the other is still sent.
    options.Recipients = "nobody@gamma.test,good@alpha.test";
    outcomes.clear();
    EXPECT_TRUE(sendBySMTP(splitRecipients(options.Recipients), plainMail(), smtpSettingsFrom(options), {}, &outcomes));
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].error.substr(0, outcomes[0].error.find("\r\n")),
              "Cannot resolve the \"gamma.test\" MX record.");
    EXPECT_TRUE(outcomes[1].sent);
    // Both fail: the result says so.
    options.Recipients = "bad@beta.test nobody@gamma.test";
    EXPECT_FALSE(deliverBySMTP(requestFor(options)));
}

TEST(SMTPDelivery, ServerThatNeverAnswersTimesOut) {
    nettest::LoopbackServer silent([](int fd) { nettest::recvUpTo(fd, 1 << 20, 3000); });
    const auto start = std::chrono::steady_clock::now();
    const TSMTPOutcome outcome = sendToRecipient("dev@example.test", plainMail(), serverSettings(silent.port(), 300));
    EXPECT_FALSE(outcome.sent);
    EXPECT_GE(msSince(start), 250);
    EXPECT_LT(msSince(start), 3000);
    EXPECT_EQ(outcome.error, "Socket timeout.\r\nSocket log:\r\nConnected to 127.0.0.1 port " +
                                 std::to_string(silent.port()) + "\r\n");

    // The time-out comes from the configuration file's key.
    const TQuillModuleOptionsEx fromIni = quillOptionsFromText("[Options]\nSocketTimeout=250\nDNSPort=5353\n");
    EXPECT_EQ(smtpSettingsFrom(fromIni).timeoutMs, 250);
    EXPECT_EQ(smtpSettingsFrom(fromIni).dns.timeoutMs, 250);
    EXPECT_EQ(smtpSettingsFrom(fromIni).dns.port, 5353);
    EXPECT_EQ(smtpSettingsFrom(TQuillModuleOptionsEx()).timeoutMs, 30000);
}

TEST(SMTPDelivery, HostileRepliesFailWithoutWaiting) {
    const std::string host = localHostName();
    struct Case {
        const char* name;
        std::vector<std::string> script;
        std::string error;  // the first line of the failure
    } cases[] = {
        {"a greeting line without end", {std::string(kMaxReplyLineLength + 10, '2')},
         "Error into \"recv\": \"The reply line is too long.\""},
        {"endless continuation lines", {[] {
             std::string s;
             for (int i = 0; i < 150; ++i) s += "220-more\r\n";
             return s;
         }()},
         "Error into \"recv\": \"The reply has too many lines.\""},
        {"a close after the greeting", {"220 hi\r\n", ""}, "Error into \"recv\": \"The connection was closed by the peer.\""},
        {"the last line decides", {"220-one\r\n220 two\r\n", "250-fine so far\r\n554 but no\r\n"},
         "The server answered \"HELO " + host + "\" with \"250-fine so far\r\n554 but no\"."},
        {"an unknown greeting", {"421 busy\r\n"}, "The server answered \"(connect)\" with \"421 busy\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> script = c.script;
        nettest::LoopbackServer server([script](int fd) {
            for (size_t i = 0; i < script.size(); ++i) {
                if (i > 0 && nettest::recvLine(fd).empty()) return;
                if (script[i].empty()) return;  // close
                nettest::sendAll(fd, script[i]);
            }
            nettest::recvUpTo(fd, 1 << 20, 3000);
        });
        const auto start = std::chrono::steady_clock::now();
        const TSMTPOutcome outcome = sendToRecipient("dev@example.test", plainMail(), serverSettings(server.port(), 5000));
        EXPECT_FALSE(outcome.sent);
        EXPECT_LT(msSince(start), 3000) << "well before the time-out of 5000 ms";
        EXPECT_EQ(outcome.error.substr(0, outcome.error.find("\r\nSocket log:")), c.error);
    }

    // A reply trickled in byte by byte is read whole.
    nettest::LoopbackServer trickle([](int fd) {
        for (const char c : std::string("220-wel\r\n220 come\r\n")) {
            nettest::sendAll(fd, std::string(1, c));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (const char* reply : {"250 hi\r\n", "250 reset\r\n", "250 from\r\n", "251 to\r\n", "354 go\r\n"}) {
            if (nettest::recvLine(fd).empty()) return;
            nettest::sendAll(fd, reply);
        }
        std::string data;
        while (data.find("\r\n.\r\n") == std::string::npos) {
            const std::string more = nettest::recvUpTo(fd, 1, 2000);
            if (more.empty()) return;
            data += more;
        }
        nettest::sendAll(fd, "250 queued\r\n");
        nettest::recvUpTo(fd, 1 << 20, 2000);
    });
    const TSMTPOutcome outcome = sendToRecipient("dev@example.test", plainMail(), serverSettings(trickle.port(), 3000));
    EXPECT_TRUE(outcome.sent) << outcome.error;

    // Nothing listens.
    const int closed = nettest::unusedPort();
    const TSMTPOutcome refused = sendToRecipient("dev@example.test", plainMail(), serverSettings(closed, 3000));
    EXPECT_EQ(refused.error, "Connection error: \"Connection refused\"\r\nSocket log:\r\n");
}
