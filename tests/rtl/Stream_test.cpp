#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "rtl/Exception.h"

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

TEST(Stream, CopyFromAndFileErrors) {
    TStringStream source("0123456789");
    TMemoryStream target;
    EXPECT_EQ(target.copyFrom(source, 0), 10);
    EXPECT_EQ(std::string(target.memory(), 10), "0123456789");
    source.setPosition(8);
    EXPECT_THROW(target.copyFrom(source, 5), EReadError);

    try {
        TFileStream missing("/nonexistent/dir/file.txt", FileMode::OpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_STREQ(e.className(), "EFOpenError");
        EXPECT_NE(std::string(e.what()).find("/nonexistent/dir/file.txt"), std::string::npos);
    }
    EXPECT_THROW(TFileStream("/nonexistent/dir/new.txt", FileMode::Create), EFCreateError);

    TNullStream sink;
    sink.writeString("abc");
    sink.writeString("de");
    EXPECT_EQ(sink.size(), 5);
}
