#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <string>

#include "rtl/Exception.h"
#include "ExpectThrow.h"

using namespace rtl;

namespace {

// Runs the same position/size contract over any stream kind.
void checkStreamContract(TStream& s) {
    s.writeString("hello world");
    EXPECT_EQ(s.size(), 11);
    EXPECT_EQ(s.position(), 11);
    s.setPosition(6);
    char buf[16] = {};
    EXPECT_EQ(s.read(buf, 16), 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(s.read(buf, 16), 0);
    s.setSize(5);
    EXPECT_EQ(s.size(), 5);
    EXPECT_LE(s.position(), 5);
    s.setPosition(0);
    EXPECT_THROW(s.readBuffer(buf, 6), EReadError);
    s.setPosition(0);
    s.readBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_THROW(s.seek(-1, SeekOrigin::Beginning), EStreamError);
}

}  // namespace

TEST(Stream, AllKindsKeepTheSameContract) {
    TMemoryStream memory;
    checkStreamContract(memory);
    TStringStream text;
    checkStreamContract(text);
    EXPECT_EQ(text.dataString(), "hello");

    char path[] = "/tmp/tessaly_streamXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    {
        TFileStream file(path, FileMode::Create);
        checkStreamContract(file);
    }
    TMemoryStream loaded;
    loaded.loadFromFile(path);
    EXPECT_EQ(std::string(loaded.memory(), static_cast<size_t>(loaded.size())), "hello");
    std::remove(path);
}

TEST(Stream, WritingPastTheEndFillsWithZeros) {
    TMemoryStream memory;
    memory.setPosition(4);
    memory.writeString("x");
    ASSERT_EQ(memory.size(), 5);
    EXPECT_EQ(std::string(memory.memory(), 5), std::string("\0\0\0\0x", 5));
}

TEST(Stream, CopyFromCopiesAndFailsOnAShortSource) {
    TStringStream source("0123456789");
    TMemoryStream target;
    EXPECT_EQ(target.copyFrom(source, 0), 10);
    EXPECT_EQ(std::string(target.memory(), 10), "0123456789");
    source.setPosition(8);
    EXPECT_THROW(target.copyFrom(source, 5), EReadError);
}

TEST(Stream, FilesThatCannotBeOpenedSayWhich) {
    testsupport::expectThrowWith<EFOpenError>(
        [] { TFileStream("/nonexistent/dir/file.txt", FileMode::OpenRead); },
        "Cannot open file \"/nonexistent/dir/file.txt\". No such file or directory");
    EXPECT_THROW(TFileStream("/nonexistent/dir/new.txt", FileMode::Create), EFCreateError);
}

TEST(Stream, APlainFileModeRefusesLinksAndFifos) {
    char folder[] = "/tmp/tessaly_plainXXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string dir(folder);
    ASSERT_EQ(::symlink((dir + "/target").c_str(), (dir + "/link").c_str()), 0);
    testsupport::expectThrowWith<EFCreateError>(
        [&] { TFileStream(dir + "/link", FileMode::OpenOrCreatePlainFile); },
        "Cannot create file \"" + dir + "/link\". Too many levels of symbolic links");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    testsupport::expectThrowWith<EFCreateError>(
        [&] { TFileStream(dir + "/fifo", FileMode::OpenOrCreatePlainFile); },
        "Cannot create file \"" + dir + "/fifo\". It is not a regular file");
    { TFileStream made(dir + "/plain", FileMode::OpenOrCreatePlainFile); }
    EXPECT_EQ(::access((dir + "/target").c_str(), F_OK), -1);  // the link led nowhere and stays so
    ASSERT_EQ(::link((dir + "/plain").c_str(), (dir + "/second").c_str()), 0);
    testsupport::expectThrowWith<EFCreateError>(
        [&] { TFileStream(dir + "/second", FileMode::OpenOrCreatePlainFile); },
        "Cannot create file \"" + dir + "/second\". It has other names (hard links)");
    for (const char* name : {"/link", "/fifo", "/plain", "/second"}) ::unlink((dir + name).c_str());
    ::rmdir(folder);
}

TEST(Stream, ANullStreamCountsWhatPassed) {
    TNullStream sink;
    sink.writeString("abc");
    sink.writeString("de");
    EXPECT_EQ(sink.size(), 5);
}
