#include "app/ReplacingFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ExpectThrow.h"
#include "GuiTestSupport.h"

using namespace app;

namespace {

void save(const std::string& path, const std::string& data) {
    TReplacingFile file(path);
    file.write(data);
    file.commit();
}

std::string linkTarget(const std::string& link) {
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof(buf));
    return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

bool isLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Makes a file exceed `bytes` raise SIGXFSZ-free write errors while alive.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit small = m_old;
        small.rlim_cur = bytes;
        std::signal(SIGXFSZ, SIG_IGN);
        m_set = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    bool set() const { return m_set; }

private:
    struct rlimit m_old {};
    bool m_set = false;
};

// A folder in which no file can be made, even by root: immutable when the
// file system allows it, else read-only (enough for other users).
class LockedFolder {
public:
    explicit LockedFolder(std::string path) : m_path(std::move(path)) {
        ::mkdir(m_path.c_str(), 0700);
    }
    bool lock() {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags |= FS_IMMUTABLE_FL;
                m_immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            }
            ::close(fd);
        }
        if (!m_immutable) ::chmod(m_path.c_str(), 0500);
        const std::string probe = m_path + "/probe";
        const int made = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
        if (made < 0) return true;
        ::close(made);
        ::unlink(probe.c_str());
        return false;  // root without the immutable flag: cannot be locked here
    }
    ~LockedFolder() {
        if (m_immutable) {
            const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            ::close(fd);
        }
        ::chmod(m_path.c_str(), 0700);
    }

private:
    std::string m_path;
    bool m_immutable = false;
};

class ReplacingFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string folder = testsupport::folderOf(dir);
};

}  // namespace

TEST_F(ReplacingFileTest, ReplacesTheWholeFileAndKeepsItsPermissions) {
    const std::string path = folder + "results.csv";
    testsupport::writeFile(path, "older and longer content that must be fully replaced");
    ::chmod(path.c_str(), 0640);
    save(path, "new");
    EXPECT_EQ(testsupport::readFile(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"results.csv"});  // no temporary file left
}

TEST_F(ReplacingFileTest, AMissingFolderIsReportedWithItsReason) {
    testsupport::expectThrowWith<ESaveError>([&] { save(folder + "no/such/dir/x.csv", "data"); },
                                             "No such file or directory");
}

TEST_F(ReplacingFileTest, AFullDiskLeavesTheEarlierFileWhole) {
    const std::string path = folder + "results.csv";
    testsupport::writeFile(path, "earlier");
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.set());
        EXPECT_THROW(save(path, std::string(1000, 'x')), ESaveError);
    }
    EXPECT_EQ(testsupport::readFile(path), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"results.csv"});
}

TEST_F(ReplacingFileTest, AFolderInTheTargetsPlaceIsRefused) {
    ::mkdir((folder + "taken.csv").c_str(), 0700);
    EXPECT_THROW(save(folder + "taken.csv", "x"), ESaveError);
}

TEST_F(ReplacingFileTest, ALinkInTheSameFolderStaysAndItsFileIsReplaced) {
    testsupport::writeFile(folder + "real.csv", "old");
    ASSERT_EQ(::symlink("real.csv", (folder + "link.csv").c_str()), 0);
    save(folder + "link.csv", "new results");
    EXPECT_TRUE(isLink(folder + "link.csv"));
    EXPECT_EQ(linkTarget(folder + "link.csv"), "real.csv");
    EXPECT_EQ(testsupport::readFile(folder + "real.csv"), "new results");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2);
}

TEST_F(ReplacingFileTest, ALinkToAnotherFolderReplacesTheFileThere) {
    ::mkdir((folder + "elsewhere").c_str(), 0700);
    testsupport::writeFile(folder + "elsewhere/real.csv", "old");
    ASSERT_EQ(::symlink((folder + "elsewhere/real.csv").c_str(), (folder + "link.csv").c_str()), 0);
    TReplacingFile file(folder + "link.csv");
    EXPECT_EQ(file.target(), folder + "elsewhere/real.csv");
    file.write("new results");
    file.commit();
    EXPECT_TRUE(isLink(folder + "link.csv"));
    EXPECT_EQ(testsupport::readFile(folder + "elsewhere/real.csv"), "new results");
    EXPECT_EQ(QDir(QString::fromStdString(folder + "elsewhere")).entryList(QDir::Files), QStringList{"real.csv"});
}

TEST_F(ReplacingFileTest, ADanglingLinkGetsItsFileMade) {
    ::mkdir((folder + "sub").c_str(), 0700);
    ASSERT_EQ(::symlink("sub/later.csv", (folder + "link.csv").c_str()), 0);
    save(folder + "link.csv", "first results");
    EXPECT_TRUE(isLink(folder + "link.csv"));
    EXPECT_EQ(testsupport::readFile(folder + "sub/later.csv"), "first results");
}

TEST_F(ReplacingFileTest, LinksInACircleAreRefused) {
    ASSERT_EQ(::symlink("b.csv", (folder + "a.csv").c_str()), 0);
    ASSERT_EQ(::symlink("a.csv", (folder + "b.csv").c_str()), 0);
    testsupport::expectThrowWith<ESaveError>([&] { save(folder + "a.csv", "x"); }, "Too many levels of symbolic links");
}

TEST_F(ReplacingFileTest, AWritableFileInALockedFolderIsWrittenInPlace) {
    LockedFolder locked(folder + "locked");
    testsupport::writeFile(folder + "locked/kept.csv", "a longer earlier content");
    if (!locked.lock()) GTEST_SKIP() << "no way to lock a folder here";
    TReplacingFile file(folder + "locked/kept.csv");
    EXPECT_TRUE(file.writesInPlace());
    file.write("new");
    file.commit();
    EXPECT_EQ(testsupport::readFile(folder + "locked/kept.csv"), "new");
}

TEST_F(ReplacingFileTest, AFailedWriteInPlaceNamesTheRisk) {
    LockedFolder locked(folder + "locked");
    testsupport::writeFile(folder + "locked/kept.csv", "earlier");
    if (!locked.lock()) GTEST_SKIP() << "no way to lock a folder here";
    FileSizeLimit limit(64);
    ASSERT_TRUE(limit.set());
    testsupport::expectThrowWith<ESaveError>(
        [&] { save(folder + "locked/kept.csv", std::string(1000, 'x')); },
        "File too large. The file was being written in place (no temporary file could be made beside it), so it may "
        "now be incomplete");
}

TEST_F(ReplacingFileTest, ALockedFolderWithoutTheFileIsRefused) {
    LockedFolder locked(folder + "locked");
    if (!locked.lock()) GTEST_SKIP() << "no way to lock a folder here";
    EXPECT_THROW(save(folder + "locked/new.csv", "x"), ESaveError);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + "locked/new.csv")));
}
