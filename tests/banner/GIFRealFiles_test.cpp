// GIF files written by other programs (ImageMagick's convert, gifsicle), made
// at run time: every frame we compose must equal convert's -coalesce frame.
// Where convert leaves a pixel transparent, ours is transparent too (an image
// with a transparent colour) or the window colour (an image without one).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "banner/GIFComposer.h"
#include "banner/GIFImage.h"

using namespace banner;

namespace {

constexpr uint32_t kWindow = 0xFFFFFF;

int shell(const std::string& command) {
    const int status = std::system(("( " + command + " ) >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GIFRealFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(shell("command -v convert && command -v gifsicle"), 0)
            << "ImageMagick and gifsicle are needed (scripts/install-deps.sh installs them)";
    }

    std::string path(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }

    // Runs a command in the scratch folder; the test fails when it does.
    void make(const std::string& command) {
        ASSERT_EQ(shell("cd '" + m_dir.path().toStdString() + "' && " + command), 0) << command;
    }

    TGIFImage load(const std::string& name) {
        TGIFImage image;
        image.loadFromFile(path(name));
        return image;
    }

    // Composes every frame of name, in order (each from the one before) and
    // backwards (each rebuilt from its start frame), and compares each with
    // convert's coalesced frame.
    void expectSameAsCoalesced(const std::string& name) {
        const TGIFImage image = load(name);
        const std::string stem = name + "-coalesced";
        // With an alpha channel on every frame, convert leaves what no frame drew
        // transparent (without one it paints the file's background colour there).
        make("convert " + name + " -alpha set -coalesce +adjoin PNG32:" + stem + "-%03d.png");
        std::vector<QImage> expected;
        for (size_t i = 0;; ++i) {
            char file[64];
            std::snprintf(file, sizeof file, "-%03zu.png", i);
            QImage frame(QString::fromStdString(path(stem + file)));
            if (frame.isNull()) break;
            expected.push_back(frame.convertToFormat(QImage::Format_ARGB32));
        }
        ASSERT_EQ(expected.size(), image.frames().size()) << name;
        TGIFComposer forward(image, kWindow), backward(image, kWindow);
        for (size_t i = 0; i < expected.size(); ++i) expectFrame(name, image, expected[i], forward.compose(i), i);
        for (size_t i = expected.size(); i-- > 0;) expectFrame(name, image, expected[i], backward.compose(i), i);
    }

    static void expectFrame(const std::string& name, const TGIFImage& image, const QImage& expected,
                            const std::vector<uint32_t>& ours, size_t index) {
        ASSERT_EQ(expected.width(), image.width());
        ASSERT_EQ(expected.height(), image.height());
        size_t mismatches = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const uint32_t want = expected.pixel(x, y);
                const uint32_t got = ours[static_cast<size_t>(y) * image.width() + x];
                if (samePixel(image, want, got)) continue;
                if (++mismatches <= 3)
                    ADD_FAILURE() << name << " frame " << index << " at " << x << "," << y << ": convert " << std::hex
                                  << want << ", ours " << got;
            }
        }
        EXPECT_EQ(mismatches, 0u) << name << " frame " << index;
    }

    static bool samePixel(const TGIFImage& image, uint32_t want, uint32_t got) {
        if (qAlpha(want) == 0) return image.isTransparent() ? (got >> 24) == 0 : got == (0xFF000000u | kWindow);
        return got == want;
    }

    static int countFrames(const TGIFImage& image, bool (*has)(const TGIFFrame&)) {
        int n = 0;
        for (const TGIFFrame& frame : image.frames()) n += has(frame) ? 1 : 0;
        return n;
    }

    QTemporaryDir m_dir;
};

// A gradient screen, then a frame cleared to the background, a transparent
// circle restored to the previous state, and a frame reaching past the
// screen's right and bottom edges; frames after the first carry local tables.
const char* kEveryDisposal =
    "convert -delay 10 -dispose none -size 64x48 gradient:'#3060a0-#f0c020'"
    " -dispose background -page +5+4 -size 20x16 xc:yellow"
    " -dispose previous -page +30+10 \\( -size 24x20 xc:none -fill red -draw 'circle 12,10 12,2' \\)"
    " -dispose none -page +50+40 \\( -size 30x20 gradient:green-white \\)"
    " -dispose none -page +0+0 \\( -size 16x16 xc:blue \\)"
    " -loop 0 ";

// A ball moving over a striped field: consecutive frames differ a little,
// which optimisers turn into small frames with transparent unchanged pixels.
std::string movingBall(const std::string& out) {
    std::string command = "convert -delay 5 -dispose none";
    for (int k = 0; k < 6; ++k)
        command += " \\( -size 80x40 pattern:vertical3 -fill '#c02040' -draw 'circle " + std::to_string(10 + 11 * k) +
                   ",20 " + std::to_string(10 + 11 * k) + ",8' \\)";
    return command + " -loop 0 " + out;
}

TEST_F(GIFRealFiles, ConvertAnimationWithEveryDisposalComposesLikeCoalesce) {
    make(std::string(kEveryDisposal) + "disposals.gif");
    const TGIFImage image = load("disposals.gif");
    ASSERT_EQ(image.frames().size(), 5u);
    EXPECT_EQ(image.frames()[1].disposal, dmBackground);
    EXPECT_EQ(image.frames()[2].disposal, dmPrevious);
    EXPECT_TRUE(image.frames()[2].transparentColor.has_value());
    EXPECT_GE(countFrames(image, [](const TGIFFrame& f) { return f.hasLocalColorTable; }), 2);
    EXPECT_GT(image.frames()[3].left + image.frames()[3].width, image.width());  // clipped, not drawn outside
    expectSameAsCoalesced("disposals.gif");
}

TEST_F(GIFRealFiles, GifsicleInterlacedCopyComposesLikeCoalesce) {
    make(std::string(kEveryDisposal) + "plain.gif && gifsicle --interlace plain.gif -o interlaced.gif");
    const TGIFImage image = load("interlaced.gif");
    EXPECT_EQ(countFrames(image, [](const TGIFFrame& f) { return f.interlaced; }), 5);
    expectSameAsCoalesced("interlaced.gif");
}

TEST_F(GIFRealFiles, GifsicleOptimisedFramesComposeLikeCoalesce) {
    make(movingBall("ball.gif") + " && gifsicle -O3 ball.gif -o ball-O3.gif");
    const TGIFImage image = load("ball-O3.gif");
    // The optimiser's work is there: frames smaller than the screen, unchanged pixels made transparent.
    EXPECT_GE(countFrames(image, [](const TGIFFrame& f) { return f.width < 80; }), 4);
    EXPECT_GE(countFrames(image, [](const TGIFFrame& f) { return f.transparentColor.has_value(); }), 1);
    expectSameAsCoalesced("ball-O3.gif");
}

TEST_F(GIFRealFiles, ConvertOptimizedLayersComposeLikeCoalesce) {
    make(movingBall("ball.gif") + " && convert ball.gif -layers Optimize optimized.gif");
    const TGIFImage image = load("optimized.gif");
    EXPECT_GE(countFrames(image, [](const TGIFFrame& f) { return !f.coversScreen(80, 40); }), 4);
    expectSameAsCoalesced("optimized.gif");
}

TEST_F(GIFRealFiles, TransparentShapesClearedToTheBackgroundComposeLikeCoalesce) {
    // Every frame transparent around its shape, each cleared before the next.
    std::string command = "convert -delay 8 -dispose background";
    for (int k = 0; k < 4; ++k)
        command += " \\( -size 50x50 xc:none -fill '#" + std::string(k % 2 ? "20a040" : "4020c0") +
                   "' -draw 'rectangle " + std::to_string(4 * k) + "," + std::to_string(3 * k) + " " +
                   std::to_string(20 + 6 * k) + "," + std::to_string(30 + 2 * k) + "' \\)";
    make(command + " -loop 0 shapes.gif");
    const TGIFImage image = load("shapes.gif");
    ASSERT_TRUE(image.isTransparent());
    expectSameAsCoalesced("shapes.gif");
}

TEST_F(GIFRealFiles, GifsicleMergeWithLocalPalettesAndRestoreToPreviousComposesLikeCoalesce) {
    // Two files with their own palettes joined into one animation; gifsicle gives
    // each frame a local table and restores the screen after the second.
    // (convert's built-in photograph has 256 colours: no one table holds both.)
    make("convert rose: first.gif"
         " && convert -size 20x10 gradient:yellow-green second.gif"
         " && convert -size 70x46 xc:none -fill black -draw 'line 0,0 69,45' third.gif"
         " && gifsicle --no-loopcount first.gif --disposal previous --position 10,5 second.gif"
         " --disposal none --position 0,0 third.gif -o merged.gif");
    const TGIFImage image = load("merged.gif");
    ASSERT_EQ(image.frames().size(), 3u);
    EXPECT_EQ(image.frames()[1].disposal, dmPrevious);
    EXPECT_GE(countFrames(image, [](const TGIFFrame& f) { return f.hasLocalColorTable; }), 1);
    expectSameAsCoalesced("merged.gif");
}

}  // namespace
