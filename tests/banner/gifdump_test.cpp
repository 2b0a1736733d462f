#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <string>

#include "GIFTestEncoder.h"

namespace {

std::string run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    *status = WEXITSTATUS(pclose(pipe));
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

TEST(GifdumpTest, PrintsFramesAndWritesComposedPngsWithAlpha) {
    testgif::Gif gif;
    gif.width = 3;
    gif.height = 2;
    gif.globalTable = {{0, 0, 0}, {255, 0, 0}};
    gif.loopCount = 0;
    testgif::Frame a;
    a.width = 3;
    a.height = 2;
    a.transparent = 0;
    a.delay = 7;
    a.pixels = {1, 0, 1, 0, 1, 0};
    testgif::Frame b;
    b.left = 2;
    b.top = 1;
    b.width = 1;
    b.height = 1;
    b.disposal = 2;
    b.pixels = {1};
    gif.frames = {a, b};
    const std::string dir = ::testing::TempDir() + "gifdump_test";
    std::system(("rm -rf " + dir + " && mkdir -p " + dir).c_str());
    writeFile(dir + "/in.gif", testgif::encode(gif));
    int status = -1;
    const std::string out = run(std::string(TESSALY_GIFDUMP) + " " + dir + "/in.gif " + dir, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out,
              "screen: 3x2\nframes: 2\nloop: NETSCAPE2.0, count 0\n"
              "frame 0: rect 0,0 3x2, delay 70 ms, disposal 0, transparent index 0 (#000000)\n"
              "frame 1: rect 2,1 1x1, delay 0 ms, disposal 2, transparent none\n");
    const QImage first(QString::fromStdString(dir + "/frame-000.png"));
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first.hasAlphaChannel());
    EXPECT_EQ(first.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(first.pixel(1, 0)), 0);
    const QImage second(QString::fromStdString(dir + "/frame-001.png"));
    EXPECT_EQ(second.pixel(2, 1), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(second.pixel(1, 1)), 255);

    writeFile(dir + "/bad.gif", "GIF77a");
    run(std::string(TESSALY_GIFDUMP) + " " + dir + "/bad.gif 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    run(std::string(TESSALY_GIFDUMP) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}
