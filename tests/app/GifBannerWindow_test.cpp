#include <gtest/gtest.h>

#include <QMouseEvent>

#include "GIFTestEncoder.h"
#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "banner/GIFAnimator.h"

using namespace app;

namespace {

std::string banner468x60(int frames) {
    testgif::Gif gif;
    gif.width = 468;
    gif.height = 60;
    gif.globalTable = testgif::palette(4);
    for (int i = 0; i < frames; ++i) {
        testgif::Frame f;
        f.width = 468;
        f.height = 60;
        f.delay = 5;
        f.pixels.assign(468u * 60u, static_cast<uint8_t>(i % 4));
        gif.frames.push_back(f);
    }
    return testgif::encode(gif);
}

}  // namespace

TEST(GifBannerWindowTest, AnimatedBannerSizesThePanelAndAnimates) {
    testsupport::ensureApp();
    QTemporaryDir dir;
    const std::string folder = testsupport::folderOf(dir);
    std::vector<std::string> reports;
    const auto previous = setExceptionReporter([&](std::exception_ptr e) { reports.push_back(describeException(e)); });
    testsupport::writeFile(folder + "dbimg1.dat", banner468x60(3));
    testsupport::writeFile(folder + "dbconfig.dat", "[Settings]\r\nBannerPath1=D:\\ads\\Promo.GIF\r\n");
    {
        TfrmMain w(folder);
        w.show();
        QApplication::processEvents();
        EXPECT_TRUE(reports.empty()) << reports.front();
        auto* gif = w.findChild<banner::TGIFAnimator*>("gifBanner");
        ASSERT_NE(gif, nullptr);
        EXPECT_TRUE(gif->isVisible());
        EXPECT_TRUE(w.findChild<QWidget*>("imgBanner")->isHidden());
        EXPECT_EQ(gif->size(), QSize(468, 60));
        EXPECT_EQ(w.findChild<QWidget*>("panBanner")->height(), 70);
        EXPECT_EQ(gif->pos(), QPoint(644 / 2 - 234, 70 / 2 - 30));
        EXPECT_TRUE(gif->animate());
        const int first = gif->frameIndex();
        QElapsedTimer clock;
        clock.start();
        while (gif->frameIndex() == first && clock.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_NE(gif->frameIndex(), first);

        // What the panel shows is the frame on screen, in the frame's colour.
        QApplication::processEvents();
        const int shown = gif->frameIndex();
        const QImage panel = w.findChild<QWidget*>("panBanner")->grab().toImage();
        const testgif::Rgb colour = testgif::palette(4)[static_cast<size_t>(shown % 4)];
        EXPECT_EQ(panel.pixelColor(322, 35), QColor(colour.r, colour.g, colour.b)) << "frame " << shown;
    }
    // A damaged GIF is reported with the decoder's text; the window still opens.
    std::string broken = banner468x60(1);
    broken[6 + 7 + 12 + 8 + 10] = 11;  // the frame's LZW code size, after screen, table, control and descriptor
    testsupport::writeFile(folder + "dbimg1.dat", broken);
    {
        TfrmMain w(folder);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], "EGIFDecodeError: Размер кода GIF не принадлежит диапазону от 2 до 9");
    }
    setExceptionReporter(previous);
}
