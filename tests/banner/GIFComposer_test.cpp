#include <gtest/gtest.h>

#include <random>

#include "GIFTestEncoder.h"
#include "banner/GIFComposer.h"
#include "banner/GIFImage.h"

using namespace banner;

namespace {

// Colours by letter: the global table is W R G B (indices 0..3); w is the window colour.
constexpr uint32_t kWindow = 0x808080;
const std::vector<testgif::Rgb> kTable = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

// A bitmap as rows of letters; '.' is a transparent pixel (alpha 0).
std::string render(const std::vector<uint32_t>& bitmap, int width) {
    std::string out;
    for (size_t i = 0; i < bitmap.size(); ++i) {
        const uint32_t p = bitmap[i];
        char c = '?';
        if ((p >> 24) == 0) c = '.';
        else if (p == 0xFFFFFFFF) c = 'W';
        else if (p == 0xFFFF0000) c = 'R';
        else if (p == 0xFF00FF00) c = 'G';
        else if (p == 0xFF0000FF) c = 'B';
        else if (p == (0xFF000000 | kWindow)) c = 'w';
        else if (p == 0xFF000000) c = 'k';
        out += c;
        if ((i + 1) % static_cast<size_t>(width) == 0) out += '|';
    }
    return out;
}

// A frame from rows of digits (palette indices), e.g. "12|21".
testgif::Frame frame(int left, int top, const std::string& rows, int disposal = 0, int transparent = -1) {
    testgif::Frame f;
    f.left = left;
    f.top = top;
    f.disposal = disposal;
    f.transparent = transparent;
    int width = 0, height = 0, x = 0;
    for (char c : rows) {
        if (c == '|') {
            width = x;
            x = 0;
            ++height;
            continue;
        }
        f.pixels.push_back(static_cast<uint8_t>(c - '0'));
        ++x;
    }
    f.width = width ? width : x;
    f.height = height + (x ? 1 : 0);
    return f;
}

TGIFImage image(int width, int height, const std::vector<testgif::Frame>& frames) {
    testgif::Gif gif;
    gif.width = width;
    gif.height = height;
    gif.globalTable = kTable;
    gif.frames = frames;
    const std::string bytes = testgif::encode(gif);
    TGIFImage result;
    result.loadFromBytes(bytes.data(), bytes.size());
    return result;
}

std::vector<std::string> composeAll(const TGIFImage& picture) {
    TGIFComposer composer(picture, kWindow);
    std::vector<std::string> out;
    for (size_t i = 0; i < picture.frames().size(); ++i) out.push_back(render(composer.compose(i), picture.width()));
    return out;
}

}  // namespace

TEST(GIFComposerTest, FramesLeftInPlaceBuildOnEachOther) {
    for (int disposal : {0, 1}) {
        const TGIFImage opaque = image(4, 2, {frame(0, 0, "1111|1111", disposal), frame(1, 0, "22|33", disposal)});
        EXPECT_EQ(composeAll(opaque), (std::vector<std::string>{"RRRR|RRRR|", "RGGR|RBBR|"}));
        // A transparent index leaves what lies beneath; the uncovered screen is transparent.
        const TGIFImage holes =
            image(4, 2, {frame(0, 0, "10|01", disposal, 0), frame(1, 0, "202|030", disposal, 0)});
        EXPECT_EQ(composeAll(holes), (std::vector<std::string>{"R...|.R..|", "RG.G|.RB.|"}));
    }
}

TEST(GIFComposerTest, BackgroundDisposalClearsTheRectangleBeforeTheNextFrame) {
    const TGIFImage opaque = image(3, 2, {frame(0, 0, "111|111"), frame(1, 0, "2|2", 2), frame(0, 0, "3", 0)});
    EXPECT_EQ(composeAll(opaque), (std::vector<std::string>{"RRR|RRR|", "RGR|RGR|", "BwR|RwR|"}));
    const TGIFImage transparent =
        image(3, 2, {frame(0, 0, "111|111", 0, 0), frame(1, 0, "2|2", 2, 0), frame(0, 0, "3", 0, 0)});
    EXPECT_EQ(composeAll(transparent), (std::vector<std::string>{"RRR|RRR|", "RGR|RGR|", "B.R|R.R|"}));
    // A whole-screen frame cleared to the background leaves nothing of the frames before it.
    const TGIFImage wipe = image(2, 1, {frame(0, 0, "11"), frame(0, 0, "22", 2), frame(1, 0, "3")});
    EXPECT_EQ(composeAll(wipe), (std::vector<std::string>{"RR|", "GG|", "wB|"}));
}

TEST(GIFComposerTest, PreviousDisposalRestoresWhatWasBeneath) {
    for (int transparent : {-1, 0}) {
        const TGIFImage picture = image(3, 1, {frame(0, 0, "111", 0, transparent), frame(1, 0, "2", 3, transparent),
                                               frame(2, 0, "3", 3, transparent), frame(0, 0, "2", 0, transparent)});
        EXPECT_EQ(composeAll(picture), (std::vector<std::string>{"RRR|", "RGR|", "RRB|", "GRR|"}));
    }
}

TEST(GIFComposerTest, FullScreenFrameRestoredToPreviousDoesNotHideEarlierFrames) {
    // Frame 1 covers the screen but is taken away again, so frame 2 lies over frame 0.
    const TGIFImage picture = image(2, 2, {frame(0, 0, "11|11"), frame(0, 0, "33|33", 3), frame(0, 0, "2")});
    TGIFComposer jump(picture, kWindow);
    EXPECT_EQ(render(jump.compose(2), 2), "GR|RR|");
    EXPECT_EQ(composeAll(picture).back(), "GR|RR|");
    EXPECT_EQ(jump.startFrame(2), 0u);
}

TEST(GIFComposerTest, OpaquePixelOfTheTransparentColourStaysOpaque) {
    // Index 0 is transparent; index 1 carries the same colour but is a real pixel.
    testgif::Frame f = frame(0, 0, "01|10", 0, 0);
    f.localTable = {{255, 0, 0}, {255, 0, 0}};
    const TGIFImage picture = image(2, 2, {f});
    EXPECT_EQ(composeAll(picture), (std::vector<std::string>{".R|R.|"}));
}

TEST(GIFComposerTest, FramesOutsideTheScreenAreClipped) {
    const TGIFImage picture = image(3, 2, {frame(0, 0, "000|000"), frame(2, 1, "12|33|33"), frame(7, 9, "22|22"),
                                           frame(1, 0, "2222|2222|2222")});
    EXPECT_EQ(composeAll(picture), (std::vector<std::string>{"WWW|WWW|", "WWW|WWR|", "WWW|WWR|", "WGG|WGG|"}));
    // A screen narrower than every frame, with frame fields of 0 taken as the screen's.
    testgif::Frame zero = frame(1, 0, "1111|1111");
    zero.width = 4;
    zero.descriptorWidth = 0;
    const TGIFImage narrow = image(4, 2, {frame(0, 0, "3333|3333"), zero});
    EXPECT_EQ(composeAll(narrow), (std::vector<std::string>{"BBBB|BBBB|", "BRRR|BRRR|"}));
}

TEST(GIFComposerTest, IndicesOutsideTheColourTableDrawBlack) {
    testgif::Frame f = frame(0, 0, "0123");
    f.localTable = {{255, 0, 0}, {0, 255, 0}};
    const TGIFImage picture = image(4, 1, {f});
    EXPECT_EQ(composeAll(picture), (std::vector<std::string>{"RGkk|"}));
}

TEST(GIFComposerTest, BackgroundIsTheFramesTransparentColourThenTheImagesThenTheWindow) {
    const TGIFImage picture = image(1, 1, {frame(0, 0, "1", 0, 2), frame(0, 0, "1"), frame(0, 0, "1", 0, 3)});
    TGIFComposer composer(picture, kWindow);
    EXPECT_EQ(composer.backgroundFor(0), 0x0000FF00u);  // green, alpha 0
    EXPECT_EQ(composer.backgroundFor(1), 0x0000FF00u);  // the image's: the first frame's
    EXPECT_EQ(composer.backgroundFor(2), 0x000000FFu);
    const TGIFImage plain = image(1, 1, {frame(0, 0, "1")});
    EXPECT_EQ(TGIFComposer(plain, kWindow).backgroundFor(0), 0xFF000000u | kWindow);
}

namespace {

// A plain canvas that follows every disposal to the letter, for comparison.
std::vector<std::vector<uint32_t>> referenceFrames(const TGIFImage& picture) {
    const int w = picture.width(), h = picture.height();
    const uint32_t background = picture.isTransparent() ? 0 : 0xFF000000u | kWindow;
    std::vector<uint32_t> canvas(static_cast<size_t>(w * h), background);
    std::vector<std::vector<uint32_t>> out;
    for (const TGIFFrame& f : picture.frames()) {
        const std::vector<uint32_t> saved = canvas;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const int sx = f.left + x, sy = f.top + y;
                const int index = f.pixels[static_cast<size_t>(y * f.width + x)];
                if (sx >= w || sy >= h || index == f.transparentIndex) continue;
                const uint32_t rgb = static_cast<size_t>(index) < f.colorTable.size() ? f.colorTable[index].rgb() : 0;
                canvas[static_cast<size_t>(sy * w + sx)] = 0xFF000000u | rgb;
            }
        out.push_back(canvas);
        if (f.effectiveDisposal() == dmPrevious) canvas = saved;
        if (f.effectiveDisposal() == dmBackground)
            for (int y = f.top; y < std::min(h, f.top + f.height); ++y)
                for (int x = f.left; x < std::min(w, f.left + f.width); ++x) canvas[static_cast<size_t>(y * w + x)] = background;
    }
    return out;
}

// Transparent pixels compare by alpha alone; their RGB is only a colour key.
bool samePicture(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] >> 24) != (b[i] >> 24) || ((a[i] >> 24) != 0 && a[i] != b[i])) return false;
    return true;
}

TGIFImage randomImage(std::mt19937& random) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    testgif::Gif gif;
    gif.width = pick(1, 12);
    gif.height = pick(1, 12);
    gif.globalTable = testgif::palette(8);
    const int frames = pick(1, 8);
    for (int i = 0; i < frames; ++i) {
        testgif::Frame f;
        const bool full = pick(0, 2) == 0;
        f.left = full ? 0 : pick(0, gif.width + 1);
        f.top = full ? 0 : pick(0, gif.height + 1);
        f.width = full ? gif.width + pick(0, 1) : pick(1, gif.width + 2);
        f.height = full ? gif.height : pick(1, gif.height + 2);
        if (pick(0, 5) == 0) f.localTable = testgif::palette(pick(2, 4));
        const int colors = f.localTable.empty() ? 8 : 4;
        f.pixels.resize(static_cast<size_t>(f.width * f.height));
        for (auto& p : f.pixels) p = static_cast<uint8_t>(pick(0, colors + 1));
        f.disposal = pick(0, 4) == 0 ? pick(4, 7) : pick(0, 3);
        f.transparent = pick(0, 1) ? pick(0, colors) : -1;
        f.codeSize = 4;  // room for the indices past the table
        gif.frames.push_back(f);
    }
    const std::string bytes = testgif::encode(gif);
    TGIFImage result;
    result.loadFromBytes(bytes.data(), bytes.size());
    return result;
}

}  // namespace

TEST(GIFComposerTest, IncrementalAndRebuiltFramesMatchAPlainCanvas) {
    std::mt19937 random(2024);
    size_t rebuildsSeen = 0, framesSeen = 0;
    for (int round = 0; round < 3000; ++round) {
        const TGIFImage picture = randomImage(random);
        const auto expected = referenceFrames(picture);
        const size_t n = picture.frames().size();
        // Played in order twice (the second pass wraps to frame 0).
        TGIFComposer playing(picture, kWindow);
        for (size_t pass = 0; pass < 2; ++pass)
            for (size_t i = 0; i < n; ++i)
                ASSERT_TRUE(samePicture(playing.compose(i), expected[i])) << "round " << round << " frame " << i;
        // Rebuilt only at frame 0 and after a restore-to-previous frame.
        size_t needed = 0;
        for (size_t i = 0; i < n; ++i)
            if (i == 0 || picture.frames()[i - 1].effectiveDisposal() == dmPrevious) ++needed;
        EXPECT_EQ(playing.rebuilds(), n == 1 ? 1 : 2 * needed) << "round " << round;  // one frame stays composed
        rebuildsSeen += playing.rebuilds();
        framesSeen += 2 * n;
        // Jumps straight to a frame, each from a fresh composer and in random order.
        TGIFComposer jumping(picture, kWindow);
        for (size_t k = 0; k < n; ++k) {
            const size_t i = static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(random));
            ASSERT_TRUE(samePicture(jumping.compose(i), expected[i])) << "round " << round << " jump to " << i;
            ASSERT_TRUE(samePicture(TGIFComposer(picture, kWindow).compose(i), expected[i]));
        }
    }
    EXPECT_LT(rebuildsSeen, framesSeen);
}
