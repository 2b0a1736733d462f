#include "rtl/IniReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "rtl/RegularFile.h"

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

TEST(IniReader, LongValuesAreCut) {
    const std::string longValue(3000, 'v');
    const auto ini = TIniReader::fromText("[S]\nK=" + longValue + "\nShort=" + std::string(2047, 'w') + "\n");
    EXPECT_EQ(ini.readString("S", "K"), std::string(2047, 'v'));
    EXPECT_EQ(ini.readString("S", "Short").size(), 2047u);
}

TEST(IniReader, AFifoReadsAsAnEmptyFileWithoutWaiting) {
    char folder[] = "/tmp/tessaly_fifoXXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/endpoints.ini";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // Should the reader wait for a writer, one comes after 5 s, so the test ends either way.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    const auto ini = TIniReader::fromFile(path);
    const auto took = std::chrono::steady_clock::now() - start;
    done = true;
    writer.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 4000);
    EXPECT_EQ(ini.readString("Endpoints", "Google"), "");
    rtl::TRegularFile file(path);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.error(), ENODEV);
    ::unlink(path.c_str());
    ::rmdir(folder);
}

TEST(IniReader, AbsentAndPresentFiles) {
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

#include "rtl/StringUtils.h"

TEST(StringUtils, FindIgnoresAsciiCaseOnly) {
    using rtl::findIgnoreCase;
    EXPECT_EQ(findIgnoreCase("Results 1 Of About <B>1</b>", "of about <b>"), 10u);
    EXPECT_EQ(findIgnoreCase("xxOFxof", "of", 3), 5u);
    EXPECT_EQ(findIgnoreCase("abc", "abcd"), std::string_view::npos);
    EXPECT_EQ(findIgnoreCase("abc", ""), 0u);
    EXPECT_EQ(findIgnoreCase("a\xC4" "b", "\xE4" "b"), std::string_view::npos);  // no case rules beyond ASCII
    EXPECT_EQ(findIgnoreCase("<SPAN id=x>", "<span ID=X>"), 0u);
    EXPECT_EQ(findIgnoreCase("zzzA", "a"), 3u);
    EXPECT_EQ(findIgnoreCase("aBaB", "bab"), 1u);
    EXPECT_EQ(findIgnoreCase("ab", "b", 5), std::string_view::npos);
}

TEST(StringUtils, FindIgnoreCaseAgreesWithAPlainScan) {
    std::string alphabet = "aAbB <>=\"";
    unsigned seed = 7;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 20000; ++round) {
        std::string hay(next() % 40, ' '), needle(1 + next() % 7, ' ');
        for (auto& c : hay) c = alphabet[next() % alphabet.size()];
        for (auto& c : needle) c = alphabet[next() % alphabet.size()];
        const size_t from = next() % 5;
        size_t expected = std::string_view::npos;
        for (size_t i = from; i + needle.size() <= hay.size() && expected == std::string_view::npos; ++i)
            if (rtl::equalsIgnoreCase(std::string_view(hay).substr(i, needle.size()), needle)) expected = i;
        ASSERT_EQ(rtl::findIgnoreCase(hay, needle, from), expected) << hay << " / " << needle << " from " << from;
    }
}
