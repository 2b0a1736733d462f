#include "rtl/IniReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using rtl::TIniReader;

TEST(IniReader, ProfileStringRules) {
    const auto ini = TIniReader::fromText(
        "; brand\r\n"
        "[Other]\r\n"
        "AppName=Wrong\r\n"
        "[ settings ]\r\n"
        "  APPNAME =   My Tool  \t\r\n"
        "AfiliateID=\r\n"
        "Link1URL=http://a.example/x=y\n"
        "appname=second wins not\n"
        "noequals line\n"
        "[Settings]\n"
        "IconPath=late.ico\n");
    EXPECT_EQ(ini.readString("Settings", "AppName"), "My Tool");
    EXPECT_EQ(ini.readString("SETTINGS", "appname"), "My Tool");
    EXPECT_EQ(ini.readString("Other", "AppName"), "Wrong");
    EXPECT_EQ(ini.readString("Settings", "AfiliateID"), "");
    EXPECT_EQ(ini.readString("Settings", "Missing"), "");
    EXPECT_EQ(ini.readString("Nowhere", "AppName"), "");
    // Only the first '=' separates key from value.
    EXPECT_EQ(ini.readString("Settings", "Link1URL"), "http://a.example/x=y");
    // A repeated section adds keys it did not have before.
    EXPECT_EQ(ini.readString("Settings", "IconPath"), "late.ico");
}

TEST(IniReader, LongValuesAreCutAndFilesMayBeAbsent) {
    const std::string longValue(3000, 'v');
    const auto ini = TIniReader::fromText("[S]\nK=" + longValue + "\nShort=" + std::string(2047, 'w') + "\n");
    EXPECT_EQ(ini.readString("S", "K"), std::string(2047, 'v'));
    EXPECT_EQ(ini.readString("S", "Short").size(), 2047u);

    EXPECT_EQ(TIniReader::fromFile("/nonexistent/dir/dbconfig.dat").readString("S", "K"), "");

    char path[] = "/tmp/tessaly_iniXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Settings]\r\nAppName=From File\r\n";
    }
    EXPECT_EQ(TIniReader::fromFile(path).readString("settings", "appname"), "From File");
    std::remove(path);
}
