// The user's mail program (xdg-email from xdg-utils) and the mailto way (the
// desktop's x-scheme-handler/mailto handler), with a recording script in the
// mail program's place and desktop files in temporary XDG folders.
#include "crashreport/MailProgram.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "ChildServer.h"
#include "crashreport/InternalNotices.h"
#include "crashreport/ReportDelivery.h"

using namespace crashreport;
using testsupport::readWholeFile;
using testsupport::writeWholeFile;

namespace {

const std::string kReport = "QuillLog 4.6\r\n\r\nException: disk on fire & 100% lost?";

// Sets environment variables for one scope (null: unset) and restores them.
class EnvironmentScope {
public:
    explicit EnvironmentScope(const std::map<std::string, const char*>& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            m_old.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            value ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
        }
    }
    ~EnvironmentScope() {
        for (const auto& [name, value] : m_old) value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_old;
};

std::string decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The value of key in a mailto: URL's query (the last one), decoded; "-" when absent.
std::string queryValue(const std::string& url, const std::string& key) {
    std::string found = "-";
    size_t at = url.find('?');
    while (at != std::string::npos) {
        const size_t end = url.find('&', at + 1);
        const std::string item = url.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (item.compare(0, key.size() + 1, key + "=") == 0) found = decoded(item.substr(key.size() + 1));
        at = end;
    }
    return found;
}

// A temporary desktop: a recording mail program, XDG folders with a mailto handler.
class TestDesktop {
public:
    TestDesktop() : m_root(m_dir.path().toStdString()) {
        for (const char* f : {"/bin", "/config", "/data", "/data/applications", "/empty", "/tmp"})
            ::mkdir((m_root + f).c_str(), 0700);
        m_recorder = m_root + "/bin/recorder.sh";
        writeWholeFile(m_recorder, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + record() +
                                       ".part\"\nmv \"" + record() + ".part\" \"" + record() + "\"\n");
        ::chmod(m_recorder.c_str(), 0755);
        writeWholeFile(m_root + "/config/mimeapps.list",
                       "[Default Applications]\nx-scheme-handler/mailto=testmail.desktop\n");
        setHandlerExec(m_recorder + " --compose %u");
    }
    void setHandlerExec(const std::string& exec) {
        writeWholeFile(m_root + "/data/applications/testmail.desktop",
                       "[Desktop Entry]\nType=Application\nName=Test mail\nExec=" + exec + "\n");
    }
    std::map<std::string, const char*> environment(const char* mailer) {
        m_paths = {m_root + "/config", m_root + "/data", m_root + "/empty", m_root + "/tmp"};
        return {{"MAILER", mailer},
                {"XDG_CONFIG_HOME", m_paths[0].c_str()},
                {"XDG_DATA_HOME", m_paths[1].c_str()},
                {"XDG_DATA_DIRS", m_paths[2].c_str()},
                {"XDG_CONFIG_DIRS", m_paths[2].c_str()},
                {"TMPDIR", m_paths[3].c_str()},
                {"XDG_CURRENT_DESKTOP", nullptr},
                {"DESKTOP_SESSION", nullptr},
                {"KDE_FULL_SESSION", nullptr},
                {"GNOME_DESKTOP_SESSION_ID", nullptr},
                {"BROWSER", "/bin/false"}};
    }
    const std::string& recorder() const { return m_recorder; }
    std::string record() const { return m_root + "/record.txt"; }
    // The arguments the recording program got, waiting for it (it may run detached).
    std::vector<std::string> recorded(int timeoutMs = 10000) const {
        for (int waited = 0; waited < timeoutMs && ::access(record().c_str(), F_OK) != 0; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::vector<std::string> args;
        std::string text = readWholeFile(record()), line;
        for (const char c : text) {
            if (c == '\n') {
                args.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return args;
    }
    std::string root() const { return m_root; }

private:
    QTemporaryDir m_dir;
    std::string m_root, m_recorder;
    std::vector<std::string> m_paths;
};

TQuillModuleOptionsEx programOptions() {
    TQuillModuleOptionsEx o;
    o.SendMethod = smMailProgram;
    o.Recipients = "dev@example.test; ops@example.test";
    o.Subject = "Crash in Tessaly";
    o.Message = "Hello.";
    return o;
}

TSendRequest requestFor(const TQuillModuleOptionsEx& options) {
    TSendRequest r;
    r.options = &options;
    r.reportText = "whole log\r\n" + kReport;
    r.currentReport = kReport;
    r.logFileName = "tessaly.qlf";
    return r;
}

std::vector<std::string> noticesSince(size_t before) {
    const auto all = internalNotices();
    return {all.begin() + static_cast<long>(std::min(before, all.size())), all.end()};
}

}  // namespace

TEST(MailProgram, MailtoURLIsEncodedAndBounded) {
    EXPECT_EQ(mailtoURL("a@x.test,b@y.test", "Crash & more", "Line 1\r\n100% ~done."),
              "mailto:a@x.test,b@y.test?Subject=Crash%20%26%20more&Body=Line%201%0D%0A100%25%20~done.");
    EXPECT_EQ(urlEncoded("\xC3\xA9?=#+/"), "%C3%A9%3F%3D%23%2B%2F");
    const std::string huge = mailtoURL("a@x.test", "s", std::string(kMaxMailtoLength, '\n'));
    EXPECT_LE(huge.size(), kMaxMailtoLength);
    EXPECT_EQ(huge.substr(huge.size() - 3), "%0A") << "never cut inside an escape";
}

TEST(MailProgram, XdgEmailGetsSubjectBodyAndTheReportFile) {
    TestDesktop desktop;
    EnvironmentScope env(desktop.environment(desktop.recorder().c_str()));
    const TQuillModuleOptionsEx options = programOptions();
    const size_t before = internalNotices().size();
    ASSERT_TRUE(deliverByMailProgram(requestFor(options)));
    EXPECT_EQ(noticesSince(before), std::vector<std::string>{});
    const std::vector<std::string> args = desktop.recorded();
    ASSERT_EQ(args.size(), 1u);  // xdg-email hands the program one mailto: URL
    const std::string& url = args[0];
    EXPECT_EQ(url.substr(0, url.find('?')), "mailto:dev@example.test");
    EXPECT_EQ(queryValue(url, "to"), "ops@example.test");
    EXPECT_EQ(queryValue(url, "subject"), "Crash in Tessaly");
    EXPECT_EQ(queryValue(url, "body"), "Hello.");
    const std::string attached = queryValue(url, "attach");
    EXPECT_EQ(attached.substr(attached.rfind('/') + 1), "tessaly.qlf");
    EXPECT_EQ(readWholeFile(attached), "whole log\r\n" + kReport) << "kept for the mail program to read";
}

TEST(MailProgram, FailingMailProgramFallsBackToTheMailtoHandler) {
    TestDesktop desktop;
    EnvironmentScope env(desktop.environment("/bin/false"));
    const TQuillModuleOptionsEx options = programOptions();
    const size_t before = internalNotices().size();
    ASSERT_TRUE(deliverByMailProgram(requestFor(options)));
    const std::vector<std::string> notices = noticesSince(before);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].substr(0, notices[0].find("\r\n")),
              "[WARNING] - Code: eeEmailMAPIError - Address: 0000000000000000 - Message: \"Cannot send the MAPI message.");
    const std::vector<std::string> args = desktop.recorded();
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "--compose");
    EXPECT_EQ(args[1], mailtoURL("dev@example.test,ops@example.test", "Crash in Tessaly",
                                 "Hello.\r\n\r\n\r\n" + kReport))
        << "the current report in the body, not the whole log";
    EXPECT_EQ(queryValue(args[1], "Body"), "Hello.\r\n\r\n\r\n" + kReport);
}

TEST(MailProgram, FailuresAreRecordedWithTheirCodes) {
    TestDesktop desktop;
    // A handler the desktop accepts (an executable file) that cannot start: its interpreter is missing.
    const std::string broken = desktop.root() + "/bin/broken-mailer";
    writeWholeFile(broken, "#!/no/such/interpreter\n");
    ::chmod(broken.c_str(), 0755);
    desktop.setHandlerExec(broken + " %u");
    {
        EnvironmentScope env(desktop.environment("/bin/false"));
        const size_t before = internalNotices().size();
        const TQuillModuleOptionsEx options = programOptions();
        EXPECT_FALSE(deliverByMailProgram(requestFor(options)));
        const std::vector<std::string> notices = noticesSince(before);
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_NE(notices[0].find("eeEmailMAPIError"), std::string::npos);
        EXPECT_EQ(notices[1], "[WARNING] - Code: eeEmailShellError - Address: 0000000000000000 - Message: "
                              "\"No such file or directory (" + broken + ")\"");
    }
    {
        // No xdg-utils on the path: the mail program cannot be opened, nor the handler found.
        const std::string path = desktop.root() + "/bin";
        auto environment = desktop.environment("/bin/false");
        environment["PATH"] = path.c_str();
        EnvironmentScope env(environment);
        const size_t before = internalNotices().size();
        const TQuillModuleOptionsEx options = programOptions();
        EXPECT_FALSE(deliverByMailProgram(requestFor(options)));
        const std::vector<std::string> notices = noticesSince(before);
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_EQ(notices[0], "[WARNING] - Code: eeEmailMAPIError - Address: 0000000000000000 - Message: "
                              "\"Cannot open the MAPI dll.\r\nxdg-email: No such file or directory\"");
        EXPECT_NE(notices[1].find("eeEmailShellError"), std::string::npos);
    }
    // The report files of failed tries do not stay behind.
    EXPECT_EQ(::rmdir((desktop.root() + "/tmp").c_str()), 0);
}
