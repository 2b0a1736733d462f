#include "app/CsvExport.h"
#include "app/ReplacingFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "GuiTestSupport.h"

using namespace app;

namespace {
const std::vector<std::string> kCaptions{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};

void writeFileReplacing(const std::string& path, const std::string& data) {
    TReplacingFile file(path);
    file.write(data);
    file.commit();
}
}  // namespace

TEST(CsvExport, BytesOfHeaderAndRows) {
    KeywordRow first("4", "golf clubs", "530");
    first.setCell(colGoogle, "1,230,000");
    KeywordRow quoted("5", "the \"best\" golf", "");
    const std::string csv = buildCsv(kCaptions, {first, quoted});
    EXPECT_EQ(csv,
              "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n"
              "\"4\",\"golf clubs\",\"530\",\"1,230,000\",\"\",\"\"\r\n"
              "\"5\",\"the \"\"best\"\" golf\",\"\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(buildCsv(kCaptions, {}), "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n");

    // Streamed in pieces, a long list gives the same bytes.
    std::vector<KeywordRow> many;
    for (int i = 0; i < 30000; ++i) many.emplace_back(std::to_string(i + 1), "keyword \"" + std::to_string(i) + "\"", "1,000");
    QTemporaryDir dir;
    const std::string path = testsupport::folderOf(dir) + "many.csv";
    writeCsv(path, kCaptions, many);
    EXPECT_EQ(testsupport::readFile(path), buildCsv(kCaptions, many));
}

TEST(CsvExport, ReplacingWritesWholeFileOrNothing) {
    QTemporaryDir dir;
    const std::string folder = testsupport::folderOf(dir);
    const std::string path = folder + "results.csv";
    testsupport::writeFile(path, "older and longer content that must be fully replaced");
    ::chmod(path.c_str(), 0640);
    writeFileReplacing(path, "new");
    EXPECT_EQ(testsupport::readFile(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file keeps its permissions

    // A missing folder: the reason is reported, nothing is created.
    try {
        writeFileReplacing(folder + "no/such/dir/x.csv", "data");
        FAIL() << "expected a failure";
    } catch (const ESaveError& e) {
        EXPECT_NE(e.message().find("No such file or directory"), std::string::npos) << e.message();
    }

    // The disk fills up half-way: the earlier file stays whole.
    {
        struct rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 64;
        std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        EXPECT_THROW(writeFileReplacing(path, std::string(1000, 'x')), ESaveError);
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(testsupport::readFile(path), "new");
    }
    // The target is a folder.
    ::mkdir((folder + "taken.csv").c_str(), 0700);
    EXPECT_THROW(writeFileReplacing(folder + "taken.csv", "x"), ESaveError);
    ::rmdir((folder + "taken.csv").c_str());

    // A read-only folder (skipped as root, who may write anywhere).
    if (::geteuid() != 0) {
        const std::string locked = folder + "locked/";
        ::mkdir(locked.c_str(), 0700);
        testsupport::writeFile(locked + "kept.csv", "precious");
        ::chmod(locked.c_str(), 0500);
        EXPECT_THROW(writeFileReplacing(locked + "kept.csv", "lost?"), ESaveError);
        EXPECT_EQ(testsupport::readFile(locked + "kept.csv"), "precious");
        ::chmod(locked.c_str(), 0700);
    }
    // No temporary files are left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"results.csv"});
}
