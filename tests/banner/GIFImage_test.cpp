#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>

#include "ExpectThrow.h"
#include "GIFTestEncoder.h"
#include "banner/GIFErrors.h"
#include "banner/GIFImage.h"

using namespace banner;

namespace {

TGIFImage decode(const std::string& bytes) {
    TGIFImage image;
    image.loadFromBytes(bytes.data(), bytes.size());
    return image;
}

testgif::Frame solid(int left, int top, int width, int height, uint8_t index) {
    testgif::Frame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels.assign(static_cast<size_t>(width) * height, index);
    return f;
}

testgif::Gif twoFrames() {
    testgif::Gif gif;
    gif.width = 8;
    gif.height = 6;
    gif.globalTable = testgif::palette(4);
    gif.frames.push_back(solid(0, 0, 8, 6, 1));
    gif.frames.push_back(solid(2, 1, 3, 2, 2));
    return gif;
}

void expectInvalid(const std::string& bytes, const std::string& text) {
    testsupport::expectThrowWith<EGIFDecodeError>([&] { decode(bytes); }, text);
}

void expectStreamRead(const std::string& bytes) {
    testsupport::expectThrowWith<rtl::EReadError>([&] { decode(bytes); }, "Stream read error");
}

}  // namespace

TEST(GIFImageTest, ScreenTablesAndFrameFieldsAreRead) {
    testgif::Gif gif = twoFrames();
    gif.background = 3;
    gif.frames[0].delay = 25;
    gif.frames[0].disposal = 2;
    gif.frames[1].control = false;
    gif.frames[1].localTable = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    const TGIFImage image = decode(testgif::encode(gif));
    EXPECT_EQ(image.version(), "89a");
    EXPECT_EQ(image.width(), 8);
    EXPECT_EQ(image.height(), 6);
    EXPECT_EQ(image.backgroundIndex(), 3);
    ASSERT_EQ(image.globalColorTable().size(), 4u);
    EXPECT_EQ(image.globalColorTable()[2].rgb(), 0x55B9FDu);
    ASSERT_EQ(image.frames().size(), 2u);
    const TGIFFrame& first = image.frames()[0];
    EXPECT_EQ(first.delay, 250);
    EXPECT_EQ(first.disposal, 2);
    EXPECT_FALSE(first.hasLocalColorTable);
    EXPECT_EQ(first.colorTable, image.globalColorTable());  // a copy of the global table
    EXPECT_EQ(first.pixels, std::vector<uint8_t>(48, 1));
    const TGIFFrame& second = image.frames()[1];
    EXPECT_EQ(second.left, 2);
    EXPECT_EQ(second.top, 1);
    EXPECT_EQ(second.width, 3);
    EXPECT_EQ(second.height, 2);
    EXPECT_EQ(second.delay, 0);  // no extension
    EXPECT_EQ(second.disposal, 0);
    EXPECT_TRUE(second.hasLocalColorTable);
    EXPECT_EQ(second.colorTable[3], (TGIFColor{10, 11, 12}));
    EXPECT_FALSE(image.isTransparent());
    EXPECT_FALSE(image.loop().has_value());
}

TEST(GIFImageTest, TransparencyNeedsTheFlagAndAnIndexInsideTheTable) {
    testgif::Gif gif = twoFrames();
    gif.frames[0].transparent = 3;
    gif.frames[1].transparent = 2;
    gif.frames[1].localTable = {{9, 9, 9}, {8, 8, 8}};  // index 2 lies outside these two entries
    gif.frames.push_back(solid(0, 0, 2, 2, 0));
    gif.frames.push_back(solid(0, 0, 2, 2, 0));
    gif.frames[3].transparent = 1;
    const TGIFImage image = decode(testgif::encode(gif));
    EXPECT_EQ(image.frames()[0].transparentIndex, 3);
    EXPECT_EQ(image.frames()[0].transparentColor, image.globalColorTable()[3]);
    EXPECT_EQ(image.frames()[1].transparentIndex, -1);
    EXPECT_FALSE(image.frames()[1].transparentColor.has_value());
    EXPECT_FALSE(image.frames()[2].transparentColor.has_value());
    EXPECT_TRUE(image.isTransparent());
    EXPECT_EQ(image.transparentColor(), image.globalColorTable()[3]);  // the first frame that has one
}

TEST(GIFImageTest, ExtremeDelaysAndEveryDisposalValueAreKept) {
    testgif::Gif gif = twoFrames();
    gif.frames[0].delay = 2;
    gif.frames[1].delay = 15000;
    for (int d = 0; d < 8; ++d) {
        gif.frames.push_back(solid(0, 0, 1, 1, 0));
        gif.frames.back().disposal = d;
    }
    const TGIFImage image = decode(testgif::encode(gif));
    EXPECT_EQ(image.frames()[0].delay, 20);
    EXPECT_EQ(image.frames()[1].delay, 150000);
    for (int d = 0; d < 8; ++d) {
        EXPECT_EQ(image.frames()[2 + d].disposal, d);
        EXPECT_EQ(image.frames()[2 + d].effectiveDisposal(), d <= 3 ? d : 0);
    }
}

TEST(GIFImageTest, ZeroSizeFieldsTakeTheScreenSize) {
    testgif::Gif gif = twoFrames();
    gif.frames[1] = solid(0, 0, 8, 6, 3);
    gif.frames[1].descriptorWidth = 0;
    gif.frames[1].descriptorHeight = 0;
    gif.frames.push_back(solid(5, 0, 8, 2, 2));
    gif.frames.back().descriptorWidth = 0;  // width of the screen, from x = 5: partly outside
    const TGIFImage image = decode(testgif::encode(gif));
    EXPECT_EQ(image.frames()[1].width, 8);
    EXPECT_EQ(image.frames()[1].height, 6);
    EXPECT_EQ(image.frames()[1].pixels, std::vector<uint8_t>(48, 3));
    EXPECT_EQ(image.frames()[2].left, 5);
    EXPECT_EQ(image.frames()[2].width, 8);
    EXPECT_EQ(image.frames()[2].height, 2);
}

TEST(GIFImageTest, LoopingExtensionsAndCommentsAreRecorded) {
    testgif::Gif gif = twoFrames();
    gif.loopCount = 1;
    gif.comments = {"made for a test", std::string(600, 'x')};
    TGIFImage image = decode(testgif::encode(gif));
    ASSERT_TRUE(image.loop().has_value());
    EXPECT_EQ(image.loop()->identifier, "NETSCAPE2.0");
    EXPECT_EQ(image.loop()->count, 1);
    EXPECT_EQ(image.comments(), (std::vector<std::string>{"made for a test", std::string(600, 'x')}));

    // A flood of empty comments is read through, but only a bounded number is kept.
    std::string flood = testgif::encode(twoFrames());
    flood.pop_back();  // trailer
    for (int i = 0; i < 100000; ++i) flood += std::string("\x21\xFE\x00", 3);
    flood += "\x3B";
    const TGIFImage flooded = decode(flood);
    EXPECT_EQ(flooded.comments().size(), 4096u);
    EXPECT_EQ(flooded.frames().size(), 2u);

    gif.loopId = "ANIMEXTS1.0";
    gif.loopCount = 0;
    image = decode(testgif::encode(gif));
    EXPECT_EQ(image.loop()->identifier, "ANIMEXTS1.0");
    EXPECT_EQ(image.loop()->count, 0);

    // Other application extensions are skipped without a trace.
    gif.loopId = "XMP DataXMP";
    image = decode(testgif::encode(gif));
    EXPECT_FALSE(image.loop().has_value());
    EXPECT_EQ(image.frames().size(), 2u);
}

TEST(GIFImageTest, PlainTextIsSkippedAndUsesUpItsGraphicControl) {
    std::string bytes = testgif::encode(twoFrames());
    bytes.pop_back();  // trailer
    // A control for the text, the text itself, then a frame without a control.
    bytes += std::string("\x21\xF9\x04\x09\x10\x00\x01\x00", 8);
    bytes += std::string("\x21\x01\x0C", 3) + std::string(12, '\0') + "\x05hello" + std::string(1, '\0');
    testgif::Frame plain = solid(0, 0, 2, 2, 1);
    plain.control = false;
    bytes += testgif::frameBytes(plain, 4) + "\x3B";
    const TGIFImage image = decode(bytes);
    ASSERT_EQ(image.frames().size(), 3u);
    EXPECT_EQ(image.frames()[2].delay, 0);
    EXPECT_EQ(image.frames()[2].disposal, 0);
    EXPECT_EQ(image.frames()[2].transparentIndex, -1);
}

TEST(GIFImageTest, SignatureLettersIgnoreCaseAndOldVersionIsRead) {
    testgif::Gif gif = twoFrames();
    gif.signature = "gif87A";
    EXPECT_EQ(decode(testgif::encode(gif)).frames().size(), 2u);
    for (const char* wrong : {"GIF88a", "GIF89b", "JIF89a", "GIF8 a", "\x89PNG\r\n"}) {
        gif.signature = wrong;
        expectInvalid(testgif::encode(gif), "Неизвестная версия изображения GIF");
    }
}

TEST(GIFImageTest, FailuresCarryTheirFixedTexts) {
    testgif::Gif gif = twoFrames();
    for (int size : {1, 10, 12, 255}) {
        gif.frames[1].codeSize = size;
        expectInvalid(testgif::encode(gif), "Размер кода GIF не принадлежит диапазону от 2 до 9");
    }
    gif.frames[1].codeSize = 0;

    std::string unknown = testgif::encode(gif);
    unknown.insert(unknown.size() - 1, std::string("\x21\x2A\x01x\x00", 5));
    expectInvalid(unknown, "Неопределенное расширение GIF: 2a");
    unknown[unknown.size() - 5] = '\xF8';
    expectInvalid(unknown, "Неопределенное расширение GIF: f8");

    // A code beyond the table: clear, a pixel, then code 7 while only 6 is defined.
    testgif::BitWriter bits;
    for (uint32_t code : {4u, 1u, 7u}) bits.put(code, 3);
    gif.frames[1].rawData = testgif::subBlocks(bits.finish());
    expectInvalid(testgif::encode(gif), "Неверные данные в формате GIF");
}

TEST(GIFImageTest, DataCutShortInsideABlockIsAStreamReadError) {
    const testgif::Gif gif2 = twoFrames();
    const std::string bytes = testgif::encode(gif2);
    const TGIFImage whole = decode(bytes);
    const size_t trailer = bytes.size() - 1;
    // A file may end between blocks (after the screen, an extension or a
    // frame) as if the trailer followed; anywhere else it is damaged.
    const size_t screenEnd = 6 + 7 + 12, controlSize = 8;
    const size_t frameEnd = screenEnd + testgif::frameBytes(gif2.frames[0], 4).size();
    const std::set<size_t> boundaries = {screenEnd, screenEnd + controlSize, frameEnd, frameEnd + controlSize};
    for (size_t cut = 0; cut < trailer; ++cut) {
        SCOPED_TRACE(cut);
        const std::string prefix = bytes.substr(0, cut);
        TGIFImage image;
        if (boundaries.count(cut)) {
            image.loadFromBytes(prefix.data(), prefix.size());
            EXPECT_EQ(image.frames().size(), cut >= frameEnd ? 1u : 0u);
        } else {
            expectStreamRead(prefix);
        }
    }
    EXPECT_EQ(whole.frames().size(), 2u);
    EXPECT_EQ(decode(bytes.substr(0, trailer)).frames().size(), 2u);  // trailer missing

    // The end code arrives before every pixel was written.
    testgif::Gif gif = twoFrames();
    gif.frames[1].rawData = testgif::subBlocks(testgif::lzwEncode(std::vector<uint8_t>(5, 1), 2));
    expectStreamRead(testgif::encode(gif));
}

TEST(GIFImageTest, DataPastTheLastPixelOrStrayBytesAfterTheLastFrameAreIgnored) {
    testgif::Gif gif = twoFrames();
    // Twelve pixels coded for a six-pixel frame, then more sub-blocks.
    gif.frames[1].rawData =
        testgif::subBlocks(testgif::lzwEncode({2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3}, 2) + std::string(300, '\x55'));
    std::string bytes = testgif::encode(gif);
    bytes.pop_back();
    bytes += std::string("\0\0\0", 3);
    const TGIFImage image = decode(bytes);
    EXPECT_EQ(image.frames()[1].pixels, std::vector<uint8_t>(6, 2));

    // Before any frame, a stray block byte means the data is no GIF stream.
    gif.frames.clear();
    bytes = testgif::encode(gif);
    bytes.back() = '\x42';
    expectInvalid(bytes, "Неверные данные в формате GIF");
}

TEST(GIFImageTest, SizesBeyondTheLimitsAreRefusedBeforeAllocating) {
    testgif::Gif gif = twoFrames();
    gif.width = 9000;
    gif.height = 8000;
    expectInvalid(testgif::encode(gif), "GIF logical screen of 9000x8000 pixels is larger than 67108864 pixels");
    gif.width = 8;
    gif.height = 6;
    gif.frames[1].descriptorWidth = 65535;
    gif.frames[1].descriptorHeight = 65535;
    expectInvalid(testgif::encode(gif), "GIF frame of 65535x65535 pixels is larger than 67108864 pixels");

    // Frames that pass one by one but not together: the total counts pixels and tables.
    gif.frames[1].descriptorWidth = -1;
    gif.frames[1].descriptorHeight = -1;
    const std::string bytes = testgif::encode(gif);
    TGIFLimits limits;
    limits.maxDecodedBytes = 48 + 12 + 6 + 12;
    TGIFImage image;
    image.loadFromBytes(bytes.data(), bytes.size(), limits);
    EXPECT_EQ(image.frames().size(), 2u);
    limits.maxDecodedBytes -= 1;
    testsupport::expectThrowWith<EGIFDecodeError>([&] { image.loadFromBytes(bytes.data(), bytes.size(), limits); },
                                                  "GIF image decodes to more than 77 bytes");
    // The defaults are the documented ones.
    EXPECT_EQ(TGIFLimits{}.maxDecodedBytes, 1024ull * 1024 * 1024);
    EXPECT_EQ(TGIFLimits{}.maxFramePixels, 64ull * 1024 * 1024);
}

TEST(GIFImageTest, FrameCountIsLimited) {
    testgif::Gif gif = twoFrames();
    gif.frames.clear();
    std::string bytes = testgif::encode(gif);
    bytes.pop_back();
    const std::string tiny = testgif::frameBytes(solid(0, 0, 1, 1, 0), 4);
    for (int i = 0; i < 20000; ++i) bytes += tiny;
    EXPECT_EQ(decode(bytes + "\x3B").frames().size(), 20000u);
    bytes += tiny;
    expectInvalid(bytes + "\x3B", "GIF image has more than 20000 frames");
}

TEST(GIFImageTest, FilesAreReadFromDiskAndAFailedLoadKeepsThePicture) {
    const std::string path = ::testing::TempDir() + "gifimage_test.gif";
    const std::string bytes = testgif::encode(twoFrames());
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    TGIFImage image;
    image.loadFromFile(path);
    EXPECT_EQ(image.frames().size(), 2u);
    const std::string broken = bytes.substr(0, 30);
    EXPECT_THROW(image.loadFromBytes(broken.data(), broken.size()), rtl::EReadError);
    EXPECT_EQ(image.frames().size(), 2u);
    EXPECT_THROW(image.loadFromFile(path + ".missing"), rtl::EFOpenError);
    std::remove(path.c_str());
}
