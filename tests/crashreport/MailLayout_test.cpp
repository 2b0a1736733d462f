// The mail a report travels in: the layout byte for byte, the date and its
// zone, attachment types, Base64 lines, and the recipient list.
#include "crashreport/MailLayout.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <random>

#include "ChildServer.h"
#include "crashreport/MailFormat.h"
#include "crashreport/ReportDelivery.h"

using namespace crashreport;

namespace {

// Sets TZ for one scope.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old, m_had = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        m_had ? ::setenv("TZ", m_old.c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

// A plain Base64 decoder to check the encoder against.
std::string decodeBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const size_t v = alphabet.find(c);
        if (v == std::string::npos) continue;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if ((count += 6) >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

constexpr std::time_t kSunday3March2024 = 1709456707;  // 09:05:07 UTC

}  // namespace

TEST(MailLayout, DateInLocalTimeWithTheZoneInWholeHours) {
    EXPECT_EQ(mailDateZone(0), "+0000");
    EXPECT_EQ(mailDateZone(3600), "+0100");
    EXPECT_EQ(mailDateZone(-5 * 3600), "-0500");
    EXPECT_EQ(mailDateZone(10 * 3600), "+1000");
    EXPECT_EQ(mailDateZone(-12 * 3600), "-1200");
    EXPECT_EQ(mailDateZone(14 * 3600), "+1400");
    EXPECT_EQ(mailDateZone(5 * 3600 + 1800), "+0500") << "the minutes of the offset are dropped";
    EXPECT_EQ(mailDateZone(-(3 * 3600 + 1800)), "-0300");
    EXPECT_EQ(mailDateZone(-1800), "+0000") << "less than an hour west is no whole hour";
    {
        ZoneScope zone("UTC0");
        EXPECT_EQ(formatMailDate(kSunday3March2024), "Sun, 3 Mar 2024 09:05:07 +0000");
    }
    {
        ZoneScope zone("XST-1");  // one hour east
        EXPECT_EQ(formatMailDate(kSunday3March2024), "Sun, 3 Mar 2024 10:05:07 +0100");
    }
    {
        ZoneScope zone("YST10");  // ten hours west: still Saturday there
        EXPECT_EQ(formatMailDate(kSunday3March2024), "Sat, 2 Mar 2024 23:05:07 -1000");
    }
    {
        ZoneScope zone("IST-5:30");
        EXPECT_EQ(formatMailDate(kSunday3March2024), "Sun, 3 Mar 2024 14:35:07 +0500");
    }
    {
        ZoneScope zone("UTC0");
        EXPECT_EQ(formatMailDate(1735689599), "Tue, 31 Dec 2024 23:59:59 +0000");
        EXPECT_EQ(formatMailDate(1735689600), "Wed, 1 Jan 2025 00:00:00 +0000");
    }
}

TEST(MailLayout, AttachmentTypesAndBase64Lines) {
    EXPECT_EQ(attachmentType("Screenshot.png"), "image/png");
    EXPECT_EQ(attachmentType("SHOT.PNG"), "image/png");
    EXPECT_EQ(attachmentType("a.PnG"), "image/png");
    EXPECT_EQ(attachmentType("tessaly.qlf"), "application/octet-stream");
    EXPECT_EQ(attachmentType("png"), "application/octet-stream");
    EXPECT_EQ(attachmentType("a.png.txt"), "application/octet-stream");
    EXPECT_EQ(attachmentType("a.pngx"), "application/octet-stream");

    EXPECT_EQ(base64Lines(""), "");
    EXPECT_EQ(base64Lines("M"), "TQ==\r\n");
    EXPECT_EQ(base64Lines("Ma"), "TWE=\r\n");
    EXPECT_EQ(base64Lines("Man"), "TWFu\r\n");
    std::mt19937 random(7);
    for (size_t size : {56u, 57u, 58u, 114u, 1000u, 4097u}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        const std::string encoded = base64Lines(bytes);
        EXPECT_EQ(decodeBase64(encoded), bytes) << size;
        size_t start = 0, lineCount = 0;
        for (size_t end; (end = encoded.find("\r\n", start)) != std::string::npos; start = end + 2, ++lineCount) {
            const size_t length = end - start;
            if (end + 2 < encoded.size()) {
                EXPECT_EQ(length, kBase64LineLength) << size;
            }
            EXPECT_LE(length, kBase64LineLength);
        }
        EXPECT_EQ(start, encoded.size()) << "every line ends with CR LF";
        EXPECT_EQ(lineCount, (size + 56) / 57);
    }
}

TEST(MailLayout, DotStuffing) {
    EXPECT_EQ(dotStuffed(".a\r\n.\r\nb.\r\n..c\r\n"), "..a\r\n..\r\nb.\r\n...c\r\n");
    EXPECT_EQ(dotStuffed("x\n.y"), "x\n..y");
    EXPECT_EQ(dotStuffed("no dots. here."), "no dots. here.");
    EXPECT_EQ(dotStuffed(""), "");
}

TEST(MailLayout, MessageIsLaidOutExactly) {
    QTemporaryDir dir;
    const std::string report = dir.path().toStdString() + "/tessaly.qlf";
    const std::string shot = dir.path().toStdString() + "/Screenshot.png";
    testsupport::writeWholeFile(report, "Man");
    testsupport::writeWholeFile(shot, std::string("\x89PNG", 4));
    TMailContent mail;
    mail.sender = "app@example.test";
    mail.subject = "Crash";
    mail.text = "Hello.\r\n.dot";
    mail.attachments = {report, dir.path().toStdString() + "/missing.bin", shot};
    ZoneScope zone("UTC0");
    const std::string expected =
        "Date: Sun, 3 Mar 2024 09:05:07 +0000\r\n"
        "From: <app@example.test>\r\n"
        "Subject: Crash\r\n"
        "To: <dev@example.test>\r\n"
        "Content-Type: multipart/mixed; boundary=\"=_xcjvnxkbhvfkxzhfdbvzldjhfv\";\r\n"
        "MIME-Version: 1.0\r\n"
        "X-Priority: 1\r\n"
        "X-Library: QuillLog 4.6\r\n"
        "\r\n"
        "This is a multi-part message in MIME format\r\n"
        "\r\n"
        "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
        "Content-Type: text/plain\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n"
        "Hello.\r\n"
        "..dot\r\n"
        "\r\n"
        "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
        "Content-Type: application/octet-stream;\r\n"
        "        name=\"tessaly.qlf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment;\r\n"
        "        filename=\"tessaly.qlf\"\r\n"
        "\r\n"
        "TWFu\r\n"
        "\r\n"
        "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
        "Content-Type: image/png;\r\n"
        "        name=\"Screenshot.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment;\r\n"
        "        filename=\"Screenshot.png\"\r\n"
        "\r\n"
        "iVBORw==\r\n"
        "--=_xcjvnxkbhvfkxzhfdbvzldjhfv--\r\n"
        ".\r\n";
    EXPECT_EQ(buildMailMessage(mail, "dev@example.test", kSunday3March2024), expected);

    mail.attachments.clear();
    mail.text = "";
    const std::string bare = buildMailMessage(mail, "x@y.test", kSunday3March2024);
    EXPECT_NE(bare.find("Content-Transfer-Encoding: 7bit\r\n\r\n\r\n--=_xcjvnxkbhvfkxzhfdbvzldjhfv--\r\n.\r\n"),
              std::string::npos)
        << bare;
}

TEST(MailLayout, RecipientListAndMailOptions) {
    EXPECT_EQ(splitRecipients("a@x.test; b@y.test,c@z.test  d@w.test\t;;"),
              (std::vector<std::string>{"a@x.test", "b@y.test", "c@z.test", "d@w.test"}));
    EXPECT_EQ(splitRecipients(""), std::vector<std::string>{});
    EXPECT_EQ(splitRecipients(" ; , "), std::vector<std::string>{});
    // Nothing that could end a command line or the angle brackets early.
    EXPECT_EQ(splitRecipients("ok@x.test;evil@x.test>\r\nDATA;<x@y>;tab\x01@x"), std::vector<std::string>{"ok@x.test"});

    const TQuillModuleOptionsEx o = quillOptionsFromText(
        "[Options]\nSendMethod=3\nRecipients=a@x.test;b@y.test\nSMTPHost=mail.test\nSMTPPort=2525\n"
        "SMTPUser=u\nSMTPPassword=p\nSocketTimeout=1234\nResolvConf=/tmp/r.conf\nDNSServer=127.0.0.7\nDNSPort=5300\n");
    const TSMTPSettings s = smtpSettingsFrom(o);
    EXPECT_TRUE(s.useMX);
    EXPECT_EQ(s.host, "mail.test");
    EXPECT_EQ(s.port, 2525);
    EXPECT_EQ(s.user, "u");
    EXPECT_EQ(s.password, "p");
    EXPECT_EQ(s.timeoutMs, 1234);
    EXPECT_EQ(s.dns.resolvConf, "/tmp/r.conf");
    EXPECT_EQ(s.dns.fallbackServer, "127.0.0.7");
    EXPECT_EQ(s.dns.port, 5300);
    EXPECT_FALSE(smtpSettingsFrom(quillOptionsFromText("[Options]\nSendMethod=2\n")).useMX);
    const TQuillModuleOptionsEx bad = quillOptionsFromText("[Options]\nSocketTimeout=0\nDNSPort=70000\n");
    EXPECT_EQ(bad.SocketTimeout, 30000);
    EXPECT_EQ(bad.DNSPort, 53);
    EXPECT_EQ(bad.configNotes.size(), 2u);
    const TQuillModuleOptionsEx defaults;
    EXPECT_EQ(defaults.ResolvConf, "/etc/resolv.conf");
    EXPECT_EQ(defaults.DNSServer, "127.0.0.1");
}
