// The reporter inside a real program: a child process that fails on purpose.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "GuiTestSupport.h"
#include "crashreport/LogSplitter.h"

namespace {

struct ChildRun {
    int status = 0;  // as from waitpid
    std::string output;
    std::string log;
    std::vector<std::string> entries;
};

// Runs the child with mode in a scratch folder holding crashreport.ini (iniBody + LogPath).
ChildRun runChild(const QTemporaryDir& folder, const std::string& mode, const std::string& iniBody,
                  const std::string& extra = "") {
    const std::string dir = folder.path().toStdString();
    testsupport::writeFile(dir + "/crashreport.ini", "[Options]\nLogPath=" + dir + "/\n" + iniBody);
    const std::string command = "cd " + dir + " && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" + dir + " " +
                                CRASHREPORT_CHILD + " " + mode + " " + dir + " " + extra + " 2>" + dir + "/stderr.txt";
    ChildRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    run.status = pclose(pipe);
    run.log = testsupport::readFile(dir + "/crashreport_child.qlf");
    auto entries = std::make_unique<crashreport::TLogEntries>();
    crashreport::splitLog(run.log, false, *entries);
    for (size_t i = 0; i < entries->count; ++i) run.entries.emplace_back(entries->items[i]);
    return run;
}

std::string reportedLine(const ChildRun& run) {
    std::smatch match;
    if (std::regex_search(run.output, match, std::regex("line (\\d+)"))) return match[1];
    return "?";
}

// A call stack row "|address|crashreport_child|crashreport_child.cpp|(anonymous namespace)|function|line|"
// (the child's functions sit in an anonymous namespace).
bool hasStackRow(const std::string& entry, const std::string& function, const std::string& line) {
    const std::regex row("\\|[0-9A-F]{16}\\|crashreport_child *\\|crashreport_child\\.cpp *\\|\\(anonymous namespace\\) *\\|" +
                         function + " *\\|" + line + " *\\|");
    return std::regex_search(entry, row);
}

const char* kQuiet = "ShowDialog=0\n";

TEST(ChildProcess, ExceptionInAButtonHandlerIsLoggedOnceAndTheProgramGoesOn) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "button", kQuiet, "1");
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_NE(run.output.find("went on 1"), std::string::npos);
    ASSERT_EQ(run.entries.size(), 1u) << run.log;
    const std::string& entry = run.entries[0];
    EXPECT_EQ(entry.rfind("QuillLog 4.6\r\n\r\n", 0), 0u);
    EXPECT_NE(entry.find("  2.4 Type   : EStreamError\r\n"), std::string::npos);
    EXPECT_NE(entry.find("  2.5 Message: disk on fire #1\r\n"), std::string::npos);
    EXPECT_TRUE(hasStackRow(entry, "failingButtonHandler", reportedLine(run))) << entry.substr(0, 6000);
    EXPECT_TRUE(std::regex_search(entry, std::regex("\\|app::TApplication *\\|notify *\\|")));
}

TEST(ChildProcess, ThreadFailureIsReportedWithThatThreadsStack) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "thread", kQuiet);
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_NE(run.output.find("went on"), std::string::npos);
    ASSERT_EQ(run.entries.size(), 1u) << run.log;
    EXPECT_NE(run.entries[0].find("2.4 Type   : EThread"), std::string::npos);
    EXPECT_TRUE(hasStackRow(run.entries[0], "failingThreadBody", reportedLine(run))) << run.entries[0].substr(0, 6000);
    EXPECT_NE(run.entries[0].find("rtl::TThread"), std::string::npos);  // the worker's own frames, not main's
}

struct FatalCase {
    const char* mode;
    int signal;
    const char* type;
    const char* message;
    const char* function;
};

TEST(ChildProcess, FatalErrorsLeaveAnEntryNamingTheFailingFunctionAndEndWithTheirSignal) {
    const FatalCase cases[] = {
        {"terminate", SIGABRT, "std::terminate", "std::terminate was called without an active exception", "callTerminate"},
        {"nullwrite", SIGSEGV, "SIGSEGV", "Access violation writing address 0000000000000000", "writeThroughNull"},
        {"divzero", SIGFPE, "SIGFPE", "Integer division by zero", "divideByZero"},
        {"abort", SIGABRT, "SIGABRT", "Abnormal program termination", "callAbort"},
        {"uncaught", SIGABRT, "EStreamError", "nobody caught this", "throwUncaught"},
        {"overflow", SIGSEGV, "SIGSEGV", "Stack overflow", "recurseForever"},
    };
    for (const FatalCase& c : cases) {
        SCOPED_TRACE(c.mode);
        QTemporaryDir folder;
        const ChildRun run = runChild(folder, c.mode, kQuiet);
        // The shell reports a death by signal as 128 + the signal.
        EXPECT_EQ(WEXITSTATUS(run.status), 128 + c.signal);
        ASSERT_EQ(run.entries.size(), 1u) << run.log;
        const std::string& entry = run.entries[0];
        EXPECT_NE(entry.find(std::string("  2.4 Type   : ") + c.type + "\r\n"), std::string::npos) << entry.substr(0, 3000);
        EXPECT_NE(entry.find(std::string("  2.5 Message: ") + c.message + "\r\n"), std::string::npos);
        const std::string line = std::string(c.mode) == "overflow" ? "\\d+" : reportedLine(run);
        EXPECT_TRUE(hasStackRow(entry, c.function, line)) << entry.substr(0, 6000);
    }
}

TEST(ChildProcess, ThirtyThreeErrorsLeaveTheThirtyTwoNewest) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "button", kQuiet, "33");
    ASSERT_EQ(run.entries.size(), 32u);
    EXPECT_NE(run.entries.front().find("disk on fire #2\r\n"), std::string::npos);
    EXPECT_NE(run.entries.back().find("disk on fire #33\r\n"), std::string::npos);
    // A second run adds to the same log and still keeps 32.
    const ChildRun again = runChild(folder, "button", kQuiet, "1");
    ASSERT_EQ(again.entries.size(), 32u);
    EXPECT_NE(again.entries.front().find("disk on fire #3\r\n"), std::string::npos);
}

TEST(ChildProcess, SkipDuplicatesLogsTheSameThrowSiteOnceAcrossRuns) {
    QTemporaryDir folder;
    // The message differs per click, so each click is its own error; one click per run repeats it.
    runChild(folder, "button", std::string(kQuiet) + "SkipDuplicates=1\n", "1");
    const ChildRun second = runChild(folder, "button", std::string(kQuiet) + "SkipDuplicates=1\n", "1");
    EXPECT_EQ(second.entries.size(), 1u);
    const ChildRun withoutSkip = runChild(folder, "button", kQuiet, "1");
    EXPECT_EQ(withoutSkip.entries.size(), 2u);
}

TEST(ChildProcess, ThirdButtonAppearsOnTheFourthError) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "button", "ShowDialog=1\n", "5");
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.output;
    std::vector<std::string> shown;
    std::regex third("third (shown|hidden)");
    for (auto it = std::sregex_iterator(run.output.begin(), run.output.end(), third); it != std::sregex_iterator(); ++it)
        shown.push_back((*it)[1]);
    EXPECT_EQ(shown, (std::vector<std::string>{"hidden", "hidden", "hidden", "shown", "shown"}));
    EXPECT_EQ(run.entries.size(), 5u);
    // The dialog kept its placement in QuillLog.ini.
    const std::string placement = testsupport::readFile(folder.path().toStdString() + "/QuillLog.ini");
    EXPECT_NE(placement.find("[Coordinates]"), std::string::npos);
    EXPECT_NE(placement.find("ColMod5="), std::string::npos);
}

TEST(ChildProcess, RestartStartsANewInstanceWithTheSameArgumentsAndEndsWithCodeOne) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "restart", "ShowDialog=1\n", "extra-argument");
    EXPECT_EQ(WEXITSTATUS(run.status), 1);
    const std::string starts = folder.path().toStdString() + "/starts.txt";
    std::string text;
    for (int i = 0; i < 200 && std::count(text.begin(), text.end(), '\n') < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = testsupport::readFile(starts);
    }
    const std::string dir = folder.path().toStdString();
    const std::string args = "restart " + dir + " extra-argument\ncwd " + dir + "\n";
    EXPECT_EQ(text, args + args);
}

TEST(ChildProcess, TerminateWithoutRestartEndsWithCodeOne) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "restart", "ShowDialog=1\nRestartOnKill=0\n", "extra-argument");
    EXPECT_EQ(WEXITSTATUS(run.status), 1) << run.output;
    EXPECT_NE(run.output.find("pressing btnTerminate &Terminate\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.entries.size(), 4u);  // the fourth error offered Terminate, and nothing ran after it
    EXPECT_EQ(run.output.find("went on 4"), std::string::npos);
    // No second instance: the program was started once.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string dir = folder.path().toStdString();
    EXPECT_EQ(testsupport::readFile(dir + "/starts.txt"), "restart " + dir + " extra-argument\ncwd " + dir + "\n");
}

TEST(ChildProcess, FrozenMainThreadIsReportedWithTheFrozenFunction) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "freeze", std::string(kQuiet) + "FreezeCheck=1\nFreezeSeconds=1\n");
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    ASSERT_EQ(run.entries.size(), 1u) << run.log;  // one freeze, one report
    EXPECT_NE(run.entries[0].find("2.4 Type   : EFrozenApplication"), std::string::npos);
    EXPECT_NE(run.entries[0].find("2.5 Message: The application seems to be frozen."), std::string::npos);
    EXPECT_TRUE(hasStackRow(run.entries[0], "frozenFunction", "\\d+")) << run.entries[0].substr(0, 6000);
}

TEST(ChildProcess, ModuleReportsThroughTheProgramsExport) {
    QTemporaryDir folder;
    const ChildRun run = runChild(folder, "module", kQuiet, CRASHREPORT_MODULE);
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.output;
    ASSERT_EQ(run.entries.size(), 1u);
    EXPECT_NE(run.entries[0].find("2.5 Message: module could not cope"), std::string::npos);
    EXPECT_NE(run.entries[0].find("moduleFailsAndReports"), std::string::npos);
}

}  // namespace
