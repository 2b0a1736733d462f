#include "skin/skBitmap.h"

#include <gtest/gtest.h>

#include "SkinTestFiles.h"
#include "skin/skFormat.h"

using namespace sk;
using skintest::BmpSpec;
using skintest::makeBmp;

namespace {

TskBitmap decode(const std::vector<uint8_t>& bytes) { return decodeBmp(bytes.data(), bytes.size()); }

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
                   kBlack = 0xFF000000;

}  // namespace

TEST(SkinBitmap, TwentyFourAndThirtyTwoBitsRoundTripBottomUpAndTopDown) {
    const TskBitmap picture = skintest::pattern(7, 5);  // 21-byte rows need padding
    EXPECT_EQ(decode(encodeBmp(picture)), picture);
    TskBitmap translucent = skintest::pattern(3, 4);
    translucent.pixels[5] = 0x80123456;
    EXPECT_EQ(decode(encodeBmp(translucent, true)), translucent);

    // Top-down: the same rows stored first to last, with a negative height.
    BmpSpec s;
    s.width = 2;
    s.height = -2;
    s.pixels = {0, 0, 255, 0, 255, 0, 0, 0,  255, 0, 0, 255, 255, 255, 0, 0};
    const TskBitmap top = decode(makeBmp(s));
    ASSERT_EQ(top.height, 2);
    EXPECT_EQ(top.pixels, (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}));
    s.height = 2;
    EXPECT_EQ(decode(makeBmp(s)).pixels, (std::vector<uint32_t>{kBlue, kWhite, kRed, kGreen}));

    // 32 bits without bit fields: the fourth byte is no alpha.
    BmpSpec x;
    x.bitCount = 32;
    x.pixels = {1, 2, 3, 0};
    EXPECT_EQ(decode(makeBmp(x)).pixels[0], 0xFF030201u);
}

TEST(SkinBitmap, PalettesOfOneFourAndEightBits) {
    BmpSpec one;
    one.width = 10;  // two bytes of bits, padded to four
    one.height = 1;
    one.bitCount = 1;
    one.palette = {0x000000, 0xFFFFFF};
    one.pixels = {0xA5, 0xC0, 0, 0};
    std::vector<uint32_t> expected;
    for (int bit : {1, 0, 1, 0, 0, 1, 0, 1, 1, 1}) expected.push_back(bit ? kWhite : kBlack);
    EXPECT_EQ(decode(makeBmp(one)).pixels, expected);

    BmpSpec four;
    four.width = 3;
    four.bitCount = 4;
    four.palette = {0xFF0000, 0x00FF00, 0x0000FF};  // fewer than 16: the rest reads black
    four.pixels = {0x12, 0xF0, 0, 0};
    EXPECT_EQ(decode(makeBmp(four)).pixels, (std::vector<uint32_t>{kGreen, kBlue, kBlack}));

    BmpSpec eight;
    eight.width = 2;
    eight.height = 2;
    eight.bitCount = 8;
    eight.palette = {0x0000FF, 0xFFFFFF};
    eight.pixels = {1, 0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(decode(makeBmp(eight)).pixels, (std::vector<uint32_t>{kBlue, kWhite, kWhite, kBlue}));
}

TEST(SkinBitmap, SixteenBitsDefaultAndBitFields) {
    BmpSpec s;
    s.width = 2;
    s.bitCount = 16;
    s.pixels = {0x00, 0x7C, 0x1F, 0x00};  // 5-5-5: red, blue
    EXPECT_EQ(decode(makeBmp(s)).pixels, (std::vector<uint32_t>{kRed, kBlue}));
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};  // 5-6-5
    s.pixels = {0xE0, 0x07, 0x10, 0x84};  // pure green; 0x8410 is a mid grey
    const TskBitmap b = decode(makeBmp(s));
    EXPECT_EQ(b.pixels[0], kGreen);
    EXPECT_EQ(b.pixels[1], 0xFF848284u);
}

TEST(SkinBitmap, RunLengthEightAndFourWithDeltasAndAbsoluteRuns) {
    BmpSpec s;
    s.width = 6;
    s.height = 3;
    s.bitCount = 8;
    s.compression = 1;
    s.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // Bottom row: 3 x red, absolute {green, blue, green} padded, end of line.
    // Middle row: delta (2, 1) skips to x 2 of the top row; 2 x blue; end of bitmap.
    s.pixels = {3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 1};
    const TskBitmap b = decode(makeBmp(s));
    const std::vector<uint32_t> expected = {kBlack, kBlack, kBlue, kBlue, kBlack, kBlack,   // top
                                            kBlack, kBlack, kBlack, kBlack, kBlack, kBlack,  // middle, skipped
                                            kRed,   kRed,   kRed,   kGreen, kBlue,  kGreen};
    EXPECT_EQ(b.pixels, expected);

    BmpSpec f = s;
    f.width = 5;
    f.height = 1;
    f.bitCount = 4;
    f.compression = 2;
    // 3 pixels alternating 1,2; absolute 3 nibbles {3,1,3} (the last cut at the edge); end of bitmap.
    f.pixels = {3, 0x12, 0, 3, 0x31, 0x30, 0, 1};
    EXPECT_EQ(decode(makeBmp(f)).pixels, (std::vector<uint32_t>{kRed, kGreen, kRed, kBlue, kRed}));

    // A run longer than the row is cut at the edge, never written past it.
    BmpSpec wide = s;
    wide.height = 1;
    wide.pixels = {255, 1, 0, 1};
    EXPECT_EQ(decode(makeBmp(wide)).pixels, std::vector<uint32_t>(6, kRed));
}

TEST(SkinBitmap, HostileHeadersAndCutDataAreRefused) {
    auto fails = [](const std::vector<uint8_t>& bytes) {
        EXPECT_THROW(decodeBmp(bytes.data(), bytes.size()), EBitmapError);
    };
    BmpSpec good;
    good.width = 4;
    good.height = 4;
    good.pixels.assign(48, 7);
    const std::vector<uint8_t> sound = makeBmp(good);
    ASSERT_NO_THROW(decode(sound));

    for (size_t cut : {size_t(0), size_t(2), size_t(13), size_t(20), size_t(53), sound.size() - 1})
        fails(std::vector<uint8_t>(sound.begin(), sound.begin() + long(cut)));
    std::vector<uint8_t> bad = sound;
    bad[0] = 'X';
    fails(bad);
    BmpSpec s = good;
    s.width = 0;
    fails(makeBmp(s));
    s = good;
    s.width = kMaxPictureSide + 1;
    fails(makeBmp(s));
    s = good;
    s.width = 8000;  // each side allowed, the area not
    s.height = 8000;
    fails(makeBmp(s));
    s = good;
    s.height = int32_t(0x80000000);
    fails(makeBmp(s));
    s = good;
    s.bitCount = 7;
    fails(makeBmp(s));
    s = good;
    s.compression = 4;  // JPEG inside a BMP
    fails(makeBmp(s));
    s = good;
    s.bitCount = 8;
    s.compression = 1;
    s.height = -4;  // top-down run-length data does not exist
    fails(makeBmp(s));
    s.height = 4;
    s.palette = {0};
    s.pixels = {0, 5, 1, 2};  // absolute run of 5 with 2 bytes left
    fails(makeBmp(s));
    s = good;
    s.bitCount = 32;
    s.compression = 3;  // masks missing
    s.pixels.assign(64, 0);
    std::vector<uint8_t> noMasks = makeBmp(s);
    noMasks.resize(14 + 40 + 4);
    fails(noMasks);
    // A lying pixel-data offset.
    bad = sound;
    bad[10] = 0xFF;
    bad[11] = 0xFF;
    fails(bad);
    // The size field cuts the data short: decoded as what it claims.
    s = good;
    s.sizeFieldDelta = -10;
    fails(makeBmp(s));
}
