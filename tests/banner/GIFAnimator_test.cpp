#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>

#include "ExpectThrow.h"
#include "GIFTestEncoder.h"
#include "banner/GIFAnimator.h"
#include "banner/GIFErrors.h"

using namespace banner;

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "banner_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* application = new QApplication(argc, argv);
    return *application;
}

// A gif of frames of one colour each (palette indices 1, 2, 3 ...) with the given delays.
TGIFImage strip(const std::vector<int>& delays, int width = 6, int height = 4) {
    testgif::Gif gif;
    gif.width = width;
    gif.height = height;
    gif.globalTable = testgif::palette(8);
    gif.loopCount = 1;
    for (size_t i = 0; i < delays.size(); ++i) {
        testgif::Frame f;
        f.width = width;
        f.height = height;
        f.delay = delays[i];
        f.pixels.assign(static_cast<size_t>(width * height), static_cast<uint8_t>(1 + i % 7));
        gif.frames.push_back(f);
    }
    const std::string bytes = testgif::encode(gif);
    TGIFImage image;
    image.loadFromBytes(bytes.data(), bytes.size());
    return image;
}

// Runs the event loop for ms milliseconds.
void waitMs(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

// Counts the emissions of a signal.
struct Count {
    int count = 0;
    template <class Signal>
    Count(TGIFAnimator* sender, Signal signal) {
        QObject::connect(sender, signal, [this] { ++count; });
    }
};

class GIFAnimatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        parent.resize(200, 100);
        parent.show();
    }
    // Made after the application object exists.
    QWidget& parent = (app(), *new QWidget);
    ~GIFAnimatorTest() override { delete &parent; }
};

}  // namespace

TEST_F(GIFAnimatorTest, StartsWithTheDesignDefaultsAndSizesItselfToTheImage) {
    TGIFAnimator animator(&parent);
    EXPECT_FALSE(animator.animate());
    EXPECT_TRUE(animator.autoSize());
    EXPECT_TRUE(animator.loop());
    EXPECT_TRUE(animator.transparent());
    EXPECT_FALSE(animator.center());
    EXPECT_FALSE(animator.stretch());
    EXPECT_FALSE(animator.asyncDrawing());
    EXPECT_TRUE(animator.image().empty());
    EXPECT_EQ(animator.interval(), 1000);
    EXPECT_TRUE(animator.property("Animate").isValid());
    Count changed(&animator, &TGIFAnimator::OnChange);
    animator.setImage(strip({10, 10}, 468, 60));
    EXPECT_EQ(changed.count, 1);
    EXPECT_EQ(animator.size(), QSize(468, 60));
    EXPECT_EQ(animator.frameIndex(), 0);
    EXPECT_EQ(animator.interval(), 100);
    animator.setAutoSize(false);
    animator.setImage(strip({10}, 20, 10));
    EXPECT_EQ(animator.size(), QSize(468, 60));
}

TEST_F(GIFAnimatorTest, FrameIntervalsAreClampedAndOneFrameStaysStill) {
    const TGIFImage image = strip({2, 15000, 0, 37});
    EXPECT_EQ(TGIFAnimator::frameInterval(image, 0), 50);
    EXPECT_EQ(TGIFAnimator::frameInterval(image, 1), 10000);
    EXPECT_EQ(TGIFAnimator::frameInterval(image, 2), 50);
    EXPECT_EQ(TGIFAnimator::frameInterval(image, 3), 370);
    EXPECT_EQ(TGIFAnimator::frameInterval(strip({100}), 0), 0);

    TGIFAnimator animator(&parent);
    animator.setImage(strip({100}));
    animator.show();
    Count frames(&animator, &TGIFAnimator::OnFrameChanged);
    animator.setAnimate(true);
    EXPECT_FALSE(animator.timerRunning());
    waitMs(300);
    EXPECT_EQ(frames.count, 0);
    EXPECT_EQ(animator.frameIndex(), 0);
    // FrameIndex: out of range or unchanged is ignored; a jump takes the frame's interval.
    animator.setImage(image);
    EXPECT_TRUE(animator.timerRunning());
    animator.setFrameIndex(9);
    EXPECT_EQ(animator.frameIndex(), 0);
    animator.setFrameIndex(1);
    EXPECT_EQ(animator.frameIndex(), 1);
    EXPECT_EQ(animator.interval(), 10000);
}

TEST_F(GIFAnimatorTest, FramesChangeAtTheClampedIntervalAndLoopForever) {
    TGIFAnimator animator(&parent);
    animator.setImage(strip({2, 2, 2}));  // 20 ms each in the file: 50 ms on screen
    animator.show();
    std::vector<int> order;
    std::vector<qint64> times;
    QElapsedTimer clock;
    QObject::connect(&animator, &TGIFAnimator::OnFrameChanged, [&] {
        order.push_back(animator.frameIndex());
        times.push_back(clock.elapsed());
    });
    Count started(&animator, &TGIFAnimator::OnStart);
    clock.start();
    animator.setAnimate(true);
    EXPECT_EQ(started.count, 1);
    QElapsedTimer wait;
    wait.start();
    while (order.size() < 7 && wait.elapsed() < 5000) waitMs(10);
    ASSERT_GE(order.size(), 7u);
    // The file asks for one pass; the banner cycles on.
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 7), (std::vector<int>{1, 2, 0, 1, 2, 0, 1}));
    for (size_t i = 1; i < 7; ++i) EXPECT_GE(times[i] - times[i - 1], 45) << i;
    EXPECT_LT(times[6] - times[0], 6 * 50 * 4);  // generous: the machine is shared
    Count stopped(&animator, &TGIFAnimator::OnStop);
    animator.setAnimate(false);
    EXPECT_EQ(stopped.count, 1);
    EXPECT_FALSE(animator.timerRunning());
}

TEST_F(GIFAnimatorTest, WithoutLoopItStopsBackAtFrameZero) {
    TGIFAnimator animator(&parent);
    animator.setImage(strip({5, 5, 5}));
    animator.setLoop(false);
    animator.show();
    Count stopped(&animator, &TGIFAnimator::OnStop);
    std::vector<int> order;
    QObject::connect(&animator, &TGIFAnimator::OnFrameChanged, [&] { order.push_back(animator.frameIndex()); });
    animator.setAnimate(true);
    QElapsedTimer wait;
    wait.start();
    while (stopped.count == 0 && wait.elapsed() < 5000) waitMs(10);
    waitMs(200);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(stopped.count, 1);
    EXPECT_FALSE(animator.animate());
    EXPECT_EQ(animator.frameIndex(), 0);
}

TEST_F(GIFAnimatorTest, HiddenControlDoesNotStep) {
    TGIFAnimator animator(&parent);
    animator.setImage(strip({5, 5}));
    animator.hide();
    Count frames(&animator, &TGIFAnimator::OnFrameChanged);
    animator.setAnimate(true);
    waitMs(250);
    EXPECT_EQ(frames.count, 0);
}

TEST_F(GIFAnimatorTest, PaintsTheComposedFrameWithTransparencyOverTheParent) {
    // Frame 0: red square with a transparent hole in the middle.
    testgif::Gif gif;
    gif.width = 4;
    gif.height = 4;
    gif.globalTable = {{0, 0, 0}, {255, 0, 0}};
    testgif::Frame f;
    f.width = 4;
    f.height = 4;
    f.transparent = 0;
    f.pixels = {1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1};
    gif.frames = {f};
    const std::string bytes = testgif::encode(gif);
    TGIFImage image;
    image.loadFromBytes(bytes.data(), bytes.size());

    QWidget host;
    host.setAutoFillBackground(true);
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 255));
    host.setPalette(palette);
    host.resize(20, 20);
    auto* animator = new TGIFAnimator(&host);
    animator->setImage(image);
    animator->move(2, 2);
    host.show();
    QImage shot = host.grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(4, 4), QColor(0, 0, 255));  // the parent shows through the hole
    animator->setTransparent(false);
    shot = host.grab().toImage();
    EXPECT_EQ(shot.pixelColor(4, 4), QColor(0, 0, 0));  // the hole drawn in its own colour
    // Stretch scales to the client area; Center puts the frame in the middle.
    animator->setTransparent(true);
    animator->setAutoSize(false);
    animator->resize(12, 12);
    animator->setCenter(true);
    shot = host.grab().toImage();
    EXPECT_EQ(shot.pixelColor(2 + 4, 2 + 4), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(2 + 1, 2 + 1), QColor(0, 0, 255));
    animator->setStretch(true);
    shot = host.grab().toImage();
    EXPECT_EQ(shot.pixelColor(2 + 1, 2 + 1), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(2 + 6, 2 + 6), QColor(0, 0, 255));
}

TEST_F(GIFAnimatorTest, ClicksAreReportedAndBrokenFilesKeepThePicture) {
    TGIFAnimator animator(&parent);
    animator.setImage(strip({5, 5}));
    animator.show();
    Count clicks(&animator, &TGIFAnimator::OnClick);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(&animator, &press);
    QApplication::sendEvent(&animator, &release);
    EXPECT_EQ(clicks.count, 1);
    const std::string path = ::testing::TempDir() + "animator_broken.gif";
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fputs("GIF89a\x02", out);
    std::fclose(out);
    testsupport::expectThrowWith<rtl::EReadError>([&] { animator.loadFromFile(path); }, "Stream read error");
    EXPECT_EQ(animator.image().frames().size(), 2u);
    std::remove(path.c_str());
}

TEST_F(GIFAnimatorTest, PlayingComposesIncrementally) {
    TGIFAnimator animator(&parent);
    animator.setImage(strip({2, 2, 2, 2}));
    animator.show();
    for (int i = 0; i < 8; ++i) {
        animator.setFrameIndex((animator.frameIndex() + 1) % 4);
        EXPECT_FALSE(animator.currentFrame().isNull());
    }
    // Rebuilt at frame 0 only (twice: at the start of each cycle, as frame 1's
    // first compose follows frame 0's).
    EXPECT_LE(animator.rebuilds(), 3u);
}
