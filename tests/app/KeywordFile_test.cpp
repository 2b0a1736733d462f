#include "app/KeywordFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "GuiTestSupport.h"

using app::splitKeywordLines;
using Lines = std::vector<std::string>;

TEST(KeywordFile, LineEndsAreReadExactly) {
    EXPECT_EQ(splitKeywordLines("golf\r\n\r\nsoccer\r\n"), (Lines{"golf", "", "soccer"}));
    EXPECT_EQ(splitKeywordLines("golf\n\nsoccer\n"), (Lines{"golf", "", "soccer"}));
    EXPECT_EQ(splitKeywordLines("golf\r\rsoccer"), (Lines{"golf", "", "soccer"}));
    EXPECT_EQ(splitKeywordLines("a\n\r\nb"), (Lines{"a", "", "b"}));   // LF, then CR LF
    EXPECT_EQ(splitKeywordLines("a\r\n\nb"), (Lines{"a", "", "b"}));   // CR LF, then LF
    EXPECT_EQ(splitKeywordLines("last"), (Lines{"last"}));
    EXPECT_EQ(splitKeywordLines("x\n\n"), (Lines{"x", ""}));           // only the final end adds nothing
    EXPECT_EQ(splitKeywordLines(""), Lines{});
    EXPECT_EQ(splitKeywordLines(std::string("a b\nc\0d\ne", 9)), (Lines{"a b", "c"}));
    EXPECT_EQ(splitKeywordLines("  padded  \n"), (Lines{"  padded  "}));
    EXPECT_EQ(splitKeywordLines("dup\ndup\n"), (Lines{"dup", "dup"}));
}

TEST(KeywordFile, ReadsFilesAndReportsUnreadableOnes) {
    QTemporaryDir dir;
    const std::string path = testsupport::folderOf(dir) + "k.txt";
    testsupport::writeFile(path, "one\r\ntwo\rthree");
    EXPECT_EQ(app::readKeywordFile(path), (Lines{"one", "two", "three"}));
    EXPECT_THROW(app::readKeywordFile(testsupport::folderOf(dir) + "missing.txt"), app::EKeywordFileError);
    EXPECT_THROW(app::readKeywordFile(testsupport::folderOf(dir)), app::EKeywordFileError);  // a folder
}
