#include "app/KeywordFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sys/stat.h>

#include "ExpectThrow.h"
#include "GuiTestSupport.h"

using app::decodeKeywordFile;
using app::splitKeywordLines;
using Lines = std::vector<std::string>;

namespace {

// Text as UTF-16 with a byte-order mark; ASCII and Latin-1 letters only.
std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

Lines linesOf(const std::string& bytes) { return splitKeywordLines(decodeKeywordFile(bytes).text); }

}  // namespace

TEST(KeywordFile, EveryKindOfLineEndEndsALine) {
    EXPECT_EQ(splitKeywordLines("golf\r\n\r\nsoccer\r\n"), (Lines{"golf", "", "soccer"}));
    EXPECT_EQ(splitKeywordLines("golf\n\nsoccer\n"), (Lines{"golf", "", "soccer"}));
    EXPECT_EQ(splitKeywordLines("golf\r\rsoccer"), (Lines{"golf", "", "soccer"}));
    EXPECT_EQ(splitKeywordLines("a\n\r\nb"), (Lines{"a", "", "b"}));  // LF, then CR LF
    EXPECT_EQ(splitKeywordLines("a\r\n\nb"), (Lines{"a", "", "b"}));  // CR LF, then LF
}

TEST(KeywordFile, OnlyTheFinalLineEndAddsNoLine) {
    EXPECT_EQ(splitKeywordLines("last"), (Lines{"last"}));
    EXPECT_EQ(splitKeywordLines("x\n\n"), (Lines{"x", ""}));
    EXPECT_EQ(splitKeywordLines(""), Lines{});
}

TEST(KeywordFile, LinesAreTakenExactly) {
    EXPECT_EQ(splitKeywordLines("  padded  \n"), (Lines{"  padded  "}));
    EXPECT_EQ(splitKeywordLines("dup\ndup\n"), (Lines{"dup", "dup"}));
}

TEST(KeywordFile, ANulEndsTheTextAndIsNoticed) {
    const auto file = decodeKeywordFile(std::string("a b\nc\0d\ne", 9));
    EXPECT_EQ(splitKeywordLines(file.text), (Lines{"a b", "c"}));
    EXPECT_TRUE(file.endsAtNul);
    EXPECT_EQ(file.lines, 2u);
    EXPECT_FALSE(decodeKeywordFile("a\nb\n").endsAtNul);
}

TEST(KeywordFile, Utf16LittleEndianWithItsMarkIsDecoded) {
    const auto bytes = utf16(u"golf clubs\r\ncaf\u00E9\r\n", false);
    EXPECT_EQ(linesOf(bytes), (Lines{"golf clubs", "caf\xC3\xA9"}));  // the locale's UTF-8
}

TEST(KeywordFile, Utf16BigEndianWithItsMarkIsDecoded) {
    const auto bytes = utf16(u"golf\nsoccer", true);
    EXPECT_EQ(linesOf(bytes), (Lines{"golf", "soccer"}));
}

TEST(KeywordFile, AUtf16NulStillEndsTheText) {
    const auto file = decodeKeywordFile(utf16(std::u16string(u"one\ntwo\0three", 13), false));
    EXPECT_EQ(splitKeywordLines(file.text), (Lines{"one", "two"}));
    EXPECT_TRUE(file.endsAtNul);
}

TEST(KeywordFile, AUtf8MarkIsDropped) {
    EXPECT_EQ(linesOf("\xEF\xBB\xBFgolf\ntennis\n"), (Lines{"golf", "tennis"}));
    EXPECT_EQ(linesOf("\xEF\xBB\xBF"), Lines{});
}

TEST(KeywordFile, BytesWithoutAMarkStayAsTheyAre) {
    EXPECT_EQ(linesOf("caf\xE9\n\xFF\xFF"), (Lines{"caf\xE9", "\xFF\xFF"}));
}

TEST(KeywordFile, ReadsAFileFromDisk) {
    QTemporaryDir dir;
    const std::string path = testsupport::folderOf(dir) + "k.txt";
    testsupport::writeFile(path, "one\r\ntwo\rthree");
    EXPECT_EQ(splitKeywordLines(app::readKeywordFile(path).text), (Lines{"one", "two", "three"}));
}

TEST(KeywordFile, WhatCannotBeReadIsReported) {
    QTemporaryDir dir;
    const std::string folder = testsupport::folderOf(dir);
    testsupport::expectThrowWith<app::EKeywordFileError>(
        [&] { app::readKeywordFile(folder + "missing.txt"); },
        "Cannot open file \"" + folder + "missing.txt\". No such file or directory");
    EXPECT_THROW(app::readKeywordFile(folder), app::EKeywordFileError);  // a folder
    // A FIFO is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo((folder + "fifo.txt").c_str(), 0600), 0);
    testsupport::expectThrowWith<app::EKeywordFileError>(
        [&] { app::readKeywordFile(folder + "fifo.txt"); },
        "Cannot open file \"" + folder + "fifo.txt\". It is not a regular file");
}
