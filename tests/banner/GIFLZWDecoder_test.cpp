#include <gtest/gtest.h>

#include <random>

#include "ExpectThrow.h"
#include "GIFTestEncoder.h"
#include "banner/GIFErrors.h"
#include "banner/GIFImage.h"
#include "banner/GIFLZWDecoder.h"

using namespace banner;

namespace {

// Decodes data into count pixels, fed in pieces of the given sizes (cycled).
std::vector<uint8_t> decodeInPieces(const std::string& data, int codeSize, size_t count,
                                    const std::vector<size_t>& pieces = {255}) {
    std::vector<uint8_t> out(count + TGIFLZWDecoder::kSlack);
    TGIFLZWDecoder decoder(codeSize, out.data(), count);
    size_t at = 0;
    for (size_t i = 0; at < data.size() && !decoder.finished(); ++i) {
        const size_t n = std::min(pieces[i % pieces.size()], data.size() - at);
        decoder.feed(reinterpret_cast<const uint8_t*>(data.data()) + at, n);
        at += n;
    }
    EXPECT_TRUE(decoder.finished());
    out.resize(decoder.written());
    return out;
}

std::vector<uint8_t> noise(size_t count, int colors, std::mt19937& random) {
    std::vector<uint8_t> pixels(count);
    std::uniform_int_distribution<int> pick(0, colors - 1);
    for (auto& p : pixels) p = static_cast<uint8_t>(pick(random));
    return pixels;
}

// Mostly runs with some noise: long strings, many table entries.
std::vector<uint8_t> runs(size_t count, int colors, std::mt19937& random) {
    std::vector<uint8_t> pixels;
    std::uniform_int_distribution<int> pick(0, colors - 1), length(1, 40);
    while (pixels.size() < count) pixels.insert(pixels.end(), static_cast<size_t>(length(random)), static_cast<uint8_t>(pick(random)));
    pixels.resize(count);
    return pixels;
}

void expectInvalid(const std::string& data, int codeSize, size_t count) {
    testsupport::expectThrowWith<EGIFDecodeError>([&] { decodeInPieces(data, codeSize, count); },
                                                  "Неверные данные в формате GIF");
}

}  // namespace

TEST(GIFLZWDecoderTest, EveryCodeSizeAndClearPolicyRoundTrips) {
    std::mt19937 random(14);
    for (int codeSize = 2; codeSize <= 8; ++codeSize) {
        const int colors = 1 << codeSize;
        for (int kind = 0; kind < 2; ++kind) {
            const std::vector<uint8_t> pixels = kind ? runs(60000, colors, random) : noise(20000, colors, random);
            struct Case {
                testgif::ClearPolicy policy;
                int defer, every;
            };
            for (const Case c : {Case{testgif::ClearPolicy::AtFull, 0, 0}, Case{testgif::ClearPolicy::Deferred, 700, 0},
                                 Case{testgif::ClearPolicy::Never, 0, 0}, Case{testgif::ClearPolicy::AtFull, 0, 1},
                                 Case{testgif::ClearPolicy::AtFull, 0, 255}}) {
                SCOPED_TRACE(testing::Message() << "code size " << codeSize << " kind " << kind << " policy "
                                                << int(c.policy) << " every " << c.every);
                const std::string data = testgif::lzwEncode(pixels, codeSize, c.policy, c.defer, c.every);
                EXPECT_EQ(decodeInPieces(data, codeSize, pixels.size()), pixels);
                EXPECT_EQ(decodeInPieces(data, codeSize, pixels.size(), {1, 7, 255, 3}), pixels);
            }
        }
    }
}

TEST(GIFLZWDecoderTest, FullTableClearsAndDeferredClearKeepsTheTable) {
    // 256-colour noise defines a table entry for nearly every code, so the
    // 4096-entry table fills several times over.
    std::mt19937 random(7);
    const std::vector<uint8_t> pixels = noise(40000, 256, random);
    const std::string atFull = testgif::lzwEncode(pixels, 8, testgif::ClearPolicy::AtFull);
    const std::string deferred = testgif::lzwEncode(pixels, 8, testgif::ClearPolicy::Deferred, 5000);
    const std::string never = testgif::lzwEncode(pixels, 8, testgif::ClearPolicy::Never);
    EXPECT_NE(atFull, deferred);
    EXPECT_EQ(decodeInPieces(atFull, 8, pixels.size()), pixels);
    EXPECT_EQ(decodeInPieces(deferred, 8, pixels.size()), pixels);
    EXPECT_EQ(decodeInPieces(never, 8, pixels.size()), pixels);
}

TEST(GIFLZWDecoderTest, CodeDefinedByItsOwnUseIsDecoded) {
    // A run makes the encoder send the code it is about to define (x x x ...).
    const std::vector<uint8_t> run(100, 3);
    const std::string data = testgif::lzwEncode(run, 2);
    EXPECT_EQ(decodeInPieces(data, 2, run.size()), run);
    // By hand: clear, 1, 6 (= "1 1", defined by this very code), end.
    testgif::BitWriter bits;
    for (uint32_t code : {4u, 1u, 6u, 5u}) bits.put(code, 3);
    EXPECT_EQ(decodeInPieces(bits.finish(), 2, 3), (std::vector<uint8_t>{1, 1, 1}));
}

TEST(GIFLZWDecoderTest, CodesBeyondTheTableAreInvalidData) {
    auto stream = [](std::initializer_list<uint32_t> codes, int width) {
        testgif::BitWriter bits;
        for (uint32_t code : codes) bits.put(code, width);
        return bits.finish();
    };
    expectInvalid(stream({4, 1, 7}, 3), 2, 10);   // 6 is the next free code
    expectInvalid(stream({4, 6}, 3), 2, 10);      // nothing defined yet after a clear
    expectInvalid(stream({4, 1, 4, 7}, 3), 2, 10);  // a clear forgets the table
    // With code size 9 the codes hold values no 256-entry colour table can show.
    expectInvalid(stream({512, 300}, 10), 9, 10);
    EXPECT_EQ(decodeInPieces(stream({512, 255, 513}, 10), 9, 1), (std::vector<uint8_t>{255}));
}

TEST(GIFLZWDecoderTest, StopsAtTheEndCodeOrTheLastPixel) {
    const std::vector<uint8_t> pixels = {0, 1, 2, 3, 3, 2, 1, 0};
    const std::string data = testgif::lzwEncode(pixels, 2);
    // Room for fewer pixels: decoding stops there and ignores the rest.
    EXPECT_EQ(decodeInPieces(data, 2, 5), (std::vector<uint8_t>{0, 1, 2, 3, 3}));
    // Room for more: the end code finishes with what was written.
    std::vector<uint8_t> out(20 + TGIFLZWDecoder::kSlack);
    TGIFLZWDecoder decoder(2, out.data(), 20);
    decoder.feed(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    EXPECT_TRUE(decoder.finished());
    EXPECT_EQ(decoder.written(), 8u);
    // Without an end code and short of pixels, it waits for more.
    const std::string noEnd = data.substr(0, 2);
    TGIFLZWDecoder waiting(2, out.data(), 20);
    waiting.feed(reinterpret_cast<const uint8_t*>(noEnd.data()), noEnd.size());
    EXPECT_FALSE(waiting.finished());
}

TEST(GIFLZWDecoderTest, InterlacedFramesOfEveryHeightComeOutTopToBottom) {
    std::mt19937 random(3);
    for (int height = 1; height <= 19; ++height) {
        SCOPED_TRACE(height);
        testgif::Gif gif;
        gif.width = 5;
        gif.height = height;
        gif.globalTable = testgif::palette(16);
        testgif::Frame f;
        f.width = 5;
        f.height = height;
        f.interlaced = true;
        f.pixels = noise(static_cast<size_t>(5 * height), 16, random);
        gif.frames.push_back(f);
        const std::string bytes = testgif::encode(gif);
        TGIFImage image;
        image.loadFromBytes(bytes.data(), bytes.size());
        EXPECT_TRUE(image.frames()[0].interlaced);
        EXPECT_EQ(image.frames()[0].pixels, f.pixels);
    }
}
