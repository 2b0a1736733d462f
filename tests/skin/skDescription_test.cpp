#include "skin/skDescription.h"

#include <gtest/gtest.h>

#include "skin/skFormat.h"

using namespace sk;

TEST(SkinDescription, SectionsKeysCommentsAndCase) {
    const TskIniFile ini = TskIniFile::parse(
        "orphan=1\r\n"
        "  [ Button ]  \r\n"
        "; skinrect=9,9,9,9\n"
        "\n"
        "SkinRect = 1, 2 , 3,4 \n"
        "caption = a=b\n"
        "skinrect=7,7,7,7\n"
        "novalue\n"
        "[button]\n"
        "extra=yes\n"
        "[last]\r"
        "x=1");
    EXPECT_FALSE(ini.hasSection(""));
    EXPECT_EQ(ini.readString("", "orphan", "none"), "none");  // before the first section: ignored
    EXPECT_TRUE(ini.hasSection("BUTTON"));
    EXPECT_EQ(ini.readRect("button", "skinrect"), (TskRect{1, 2, 3, 4}));  // first key wins
    EXPECT_EQ(ini.readString("button", "caption"), "a=b");                 // split at the first "="
    EXPECT_EQ(ini.readString("button", "extra"), "yes");                   // a repeated section adds to the first
    EXPECT_EQ(ini.readString("button", "novalue", "-"), "-");
    EXPECT_EQ(ini.readInteger("last", "x", 0), 1);  // a lone CR ends a line too
}

TEST(SkinDescription, ValueFormsKeepOnlyDigitsAndHaveDefaults) {
    EXPECT_EQ(parseRect("-5,1a2, 3 ,x"), (TskRect{5, 12, 3, 0}));  // the minus sign is dropped too
    EXPECT_EQ(parseRect("1,2"), (TskRect{1, 2, 0, 0}));
    EXPECT_EQ(parseRect("1,2,3,4,5"), (TskRect{1, 2, 3, 4}));
    EXPECT_EQ(parsePoint("99999999999999999999,3"), (TskPoint{int(kMaxCoordinate), 3}));
    EXPECT_EQ(parsePoint(""), (TskPoint{0, 0}));

    const TskIniFile ini = TskIniFile::parse(
        "[e]\nflag1=1\nflag2=2\nflag3=yes\ncolour=16777215\nindex=-1\nbig=4294967296\nsigned=+12\nbad=12x\n");
    EXPECT_TRUE(ini.readFlag("e", "flag1"));
    EXPECT_FALSE(ini.readFlag("e", "flag2"));
    EXPECT_FALSE(ini.readFlag("e", "flag3"));
    EXPECT_FALSE(ini.readFlag("e", "missing"));
    EXPECT_EQ(ini.readInteger("e", "colour", 0), 0xFFFFFF);
    EXPECT_EQ(ini.readInteger("e", "index", 7), -1);
    EXPECT_EQ(ini.readInteger("e", "big", 7), 7);  // overflow is no value
    EXPECT_EQ(ini.readInteger("e", "signed", 0), 12);
    EXPECT_EQ(ini.readInteger("e", "bad", 3), 3);
    EXPECT_EQ(ini.readRect("e", "missing"), TskRect{});
    EXPECT_EQ(ini.readPoint("e", "missing"), TskPoint{});
}

TEST(SkinDescription, WrittenTextReadsBackTheSame) {
    TskIniFile ini;
    ini.writeString("VERSION", "skinname", "Calm");
    ini.writeString("button", "skinrect", formatRect({1, 2, 30, 40}));
    ini.writeString("BUTTON", "SkinRect", formatRect({5, 6, 7, 8}));  // same key, other case: replaced
    ini.writeString("gone", "k", "v");
    ini.eraseSection("GONE");
    const TskIniFile back = TskIniFile::parse(ini.text());
    EXPECT_EQ(back.readString("version", "SKINNAME"), "Calm");
    EXPECT_EQ(back.readRect("button", "skinrect"), (TskRect{5, 6, 7, 8}));
    EXPECT_FALSE(back.hasSection("gone"));
}
