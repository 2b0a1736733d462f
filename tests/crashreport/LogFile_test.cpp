#include "crashreport/LogFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <memory>

#include "GuiTestSupport.h"
#include "crashreport/LogFormat.h"
#include "crashreport/QuillOptions.h"

using namespace crashreport;

namespace {

std::vector<std::string> split(const std::string& text, bool fromMiddle = false) {
    auto entries = std::make_unique<TLogEntries>();
    splitLog(text, fromMiddle, *entries);
    return {entries->items, entries->items + entries->count};
}

TEST(LogSplitter, SplitsOnlyAtLineStarts) {
    EXPECT_EQ(split("A\r\n\r\n\r\n\r\n\r\nB\r\n\r\n\r\n\r\n\r\n"), (std::vector<std::string>{"A\r\n", "B\r\n"}));
    // Four CR LF that begin inside a line are text, not a separator.
    EXPECT_EQ(split("A\r\n\r\n\r\n\r\nB"), (std::vector<std::string>{"A\r\n\r\n\r\n\r\nB"}));
    EXPECT_EQ(split(""), std::vector<std::string>{});
    EXPECT_EQ(split("\r\n\r\n\r\n\r\nonly"), std::vector<std::string>{"only"});
    // Read from the middle of a file: the first piece is a cut entry.
    EXPECT_EQ(split("tail of old\r\n\r\n\r\n\r\n\r\nnew\r\n", true), std::vector<std::string>{"new\r\n"});
}

TEST(LogFile, AppendKeepsTheNewestAndRewritesThroughATemporaryFile) {
    QTemporaryDir dir;
    TLogLocation where{dir.path().toStdString() + "/", "p.qlf"};
    for (int i = 1; i <= 5; ++i) {
        TLogFile log(where);
        ASSERT_TRUE(log.load());
        ASSERT_TRUE(log.append("entry " + std::to_string(i) + "\r\n", 3));
    }
    TLogFile log(where);
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.entries(), (std::vector<std::string>{"entry 3\r\n", "entry 4\r\n", "entry 5\r\n"}));
    EXPECT_EQ(testsupport::readFile(where.path()), log.wholeText());
    // The entry written earlier is replaced where it is, not the newest one.
    ASSERT_TRUE(log.replaceEntry("entry 4\r\n", "entry 4 with steps\r\n", 3));
    TLogFile again(where);
    again.load();
    EXPECT_EQ(again.entries(), (std::vector<std::string>{"entry 3\r\n", "entry 4 with steps\r\n", "entry 5\r\n"}));
    // One dropped meanwhile comes back as the newest.
    ASSERT_TRUE(again.replaceEntry("entry 1\r\n", "entry 1 with steps\r\n", 3));
    TLogFile third(where);
    third.load();
    EXPECT_EQ(third.entries(),
              (std::vector<std::string>{"entry 4 with steps\r\n", "entry 5\r\n", "entry 1 with steps\r\n"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"p.qlf"});  // no temporary file left
}

TEST(LogFile, FailedWriteLeavesTheOldLog) {
    QTemporaryDir dir;
    TLogLocation where{dir.path().toStdString() + "/", "p.qlf"};
    testsupport::writeFile(where.path(), "old\r\n\r\n\r\n\r\n\r\n");
    ::chmod(dir.path().toLocal8Bit().constData(), 0500);  // the temporary file cannot be made
    TLogFile log(where);
    log.load();
    const bool written = log.append("new\r\n", 32);
    ::chmod(dir.path().toLocal8Bit().constData(), 0700);
    if (::geteuid() != 0) EXPECT_FALSE(written);  // root may write anyway
    if (!written) EXPECT_EQ(testsupport::readFile(where.path()), "old\r\n\r\n\r\n\r\n\r\n");
}

TEST(LogFile, HostileFilesAreReadWithoutHarm) {
    QTemporaryDir dir;
    TLogLocation where{dir.path().toStdString() + "/", "h.qlf"};
    // 100 MB without a separator, NULs included: only the tail is read, the cut entry is dropped.
    {
        std::string big(100u * 1024 * 1024, 'x');
        for (size_t i = 0; i < big.size(); i += 997) big[i] = '\0';
        testsupport::writeFile(where.path(), big);
    }
    TLogFile log(where);
    EXPECT_TRUE(log.load());
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(log.trim().skippedBytes, 100u * 1024 * 1024 - kMaxLogBytes);
    EXPECT_NE(log.trim().describe(where.path()).find("h.qlf"), std::string::npos);
    ASSERT_TRUE(log.append("fresh\r\n", 32));
    EXPECT_EQ(testsupport::readFile(where.path()), "fresh\r\n" + std::string(kLogSeparator));
    // Many tiny entries with NULs: bounded count, nothing lost beyond the cap.
    std::string many;
    for (int i = 0; i < 10000; ++i) many += std::string("e\0", 2) + std::to_string(i) + "\r\n" + std::string(kLogSeparator);
    testsupport::writeFile(where.path(), many);
    TLogFile tiny(where);
    EXPECT_TRUE(tiny.load());
    ASSERT_EQ(tiny.entries().size(), TLogEntries::kCapacity);
    EXPECT_EQ(tiny.trim().excessEntries, 10000u - TLogEntries::kCapacity);
    EXPECT_EQ(tiny.trim().skippedBytes, 0u);
    EXPECT_EQ(tiny.entries().back(), std::string("e\0", 2) + "9999\r\n");
}

TEST(LogFile, TemporaryFileIsNeverALinkAndTheLogKeepsItsMode) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    TLogLocation where{folder, "p.qlf"};
    testsupport::writeFile(where.path(), "old\r\n" + std::string(kLogSeparator));
    ASSERT_EQ(::chmod(where.path().c_str(), 0600), 0);
    // Links planted at temporary names one could guess: this process's id, with and without a count.
    const std::string victim = folder + "victim.txt";
    testsupport::writeFile(victim, "precious");
    const std::string pid = std::to_string(::getpid());
    for (const std::string& name : {"p.qlf.tmp" + pid, std::string("p.qlf.tmp"), "p.qlf.tmp" + pid + "-0", "p.qlf.tmp" + pid + ".0"})
        ASSERT_EQ(::symlink(victim.c_str(), (folder + name).c_str()), 0);
    const int links = 4;
    TLogFile log(where);
    ASSERT_TRUE(log.load());
    ASSERT_TRUE(log.append("new\r\n", 32));
    EXPECT_EQ(testsupport::readFile(victim), "precious") << "written through a link";
    struct stat info {};
    ASSERT_EQ(::lstat(where.path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(testsupport::readFile(where.path()), "old\r\n" + std::string(kLogSeparator) + "new\r\n" + std::string(kLogSeparator));
    // Nothing left besides the log, the victim and the planted links.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2 + links);
}

TEST(LogFile, TailOfABigLogKeepsEveryWholeEntry) {
    QTemporaryDir dir;
    TLogLocation where{dir.path().toStdString() + "/", "big.qlf"};
    // 100 KiB of an old entry, then eight entries of 1 MiB each with their separators: the
    // last 8 MiB begin exactly at an entry, which is whole and kept.
    const size_t mib = 1024 * 1024;
    std::string text = std::string(100 * 1024, 'o') + "\r\n" + std::string(kLogSeparator);
    for (int i = 0; i < 8; ++i)
        text += std::string(1, static_cast<char>('a' + i)) + std::string(mib - 3 - kLogSeparator.size(), '.') + "\r\n" +
                std::string(kLogSeparator);
    ASSERT_EQ(text.size() - (100 * 1024 + 2 + kLogSeparator.size()), kMaxLogBytes);
    testsupport::writeFile(where.path(), text);
    TLogFile log(where);
    EXPECT_TRUE(log.load());
    ASSERT_EQ(log.entries().size(), 8u);
    EXPECT_EQ(log.trim().skippedBytes, 100u * 1024 + 2 + kLogSeparator.size());
    EXPECT_EQ(log.entries().front()[0], 'a');
    EXPECT_EQ(log.entries().back()[0], 'h');
    // One byte more in the last entry: the tail now begins inside the first, which is cut and dropped.
    text.insert(text.size() - 2 - kLogSeparator.size(), ".");
    testsupport::writeFile(where.path(), text);
    TLogFile shifted(where);
    EXPECT_TRUE(shifted.load());
    ASSERT_EQ(shifted.entries().size(), 7u);
    EXPECT_EQ(shifted.entries().front()[0], 'b');
    // An entry too long to be a report goes; its neighbours stay.
    testsupport::writeFile(where.path(), "first\r\n" + std::string(kLogSeparator) + std::string(kMaxEntryBytes + 1, 'x') + "\r\n" +
                                             std::string(kLogSeparator) + "last\r\n" + std::string(kLogSeparator));
    TLogFile oversized(where);
    EXPECT_TRUE(oversized.load());
    EXPECT_EQ(oversized.entries(), (std::vector<std::string>{"first\r\n", "last\r\n"}));
    EXPECT_EQ(oversized.trim().oversizeEntries, 1u);
    EXPECT_EQ(oversized.trim().skippedBytes, 0u);
}

TEST(LogFile, LocationRules) {
    QTemporaryDir dir;
    const std::string program = dir.path().toStdString() + "/";
    EXPECT_EQ(resolveLogLocation("", program, "tessaly", "/state/").path(), program + "tessaly.qlf");
    // A program folder that cannot be written sends the log to the user's state folder.
    EXPECT_EQ(resolveLogLocation("", "/nonexistent-folder/", "tessaly.bin", "/state/").path(), "/state/tessaly.qlf");
    EXPECT_EQ(resolveLogLocation("logs", "/opt/t/", "tessaly", "/s/").path(), "/opt/t/logs/tessaly.qlf");
    EXPECT_EQ(resolveLogLocation("/var/x/Errors.QLF", "/opt/t/", "tessaly", "/s/").path(), "/var/x/Errors.QLF");
}

TEST(QuillOptions, MissingKeysKeepDefaultsAndBadValuesAreNoted) {
    const TQuillModuleOptionsEx defaults = quillOptionsFromText("");
    EXPECT_TRUE(defaults.ShowDialog);
    EXPECT_EQ(defaults.MaxLogEntries, 32);
    EXPECT_EQ(defaults.ErrorCountLimit, 3);
    EXPECT_EQ(defaults.SMTPPort, 25);
    EXPECT_TRUE(defaults.configNotes.empty());
    const TQuillModuleOptionsEx o = quillOptionsFromText(
        "[options]\nshowdialog=no\nMaxLogEntries=abc\nSendMethod=9\nFieldMask=0xFFFFFFDF\nSkipDuplicates=on\n"
        "ErrorCountLimit=off\nFreezeSeconds=0\nSMTPHost=mail.example\nSMTPPort=2525\n");
    EXPECT_FALSE(o.ShowDialog);
    EXPECT_EQ(o.MaxLogEntries, 32);
    EXPECT_EQ(o.SendMethod, 0);
    EXPECT_EQ(o.FieldMask, 0xFFFFFFDFu);
    EXPECT_TRUE(o.SkipDuplicates());
    EXPECT_FALSE(o.ErrorCountLimitEnabled);
    EXPECT_EQ(o.FreezeSeconds, 60);
    EXPECT_EQ(o.SMTPHost, "mail.example");
    EXPECT_EQ(o.SMTPPort, 2525);
    ASSERT_EQ(o.configNotes.size(), 3u);
    EXPECT_EQ(o.configNotes[1].rfind("crashreport.ini: MaxLogEntries=abc ignored", 0), 0u);
}

}  // namespace
