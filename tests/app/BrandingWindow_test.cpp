#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QThread>
#include <cstdlib>
#include <sys/stat.h>

#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "crashreport/ExceptionLog.h"
#include "rtl/Exception.h"

using namespace app;

namespace {

std::string pictureBytes(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

class BrandingWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        folder = testsupport::folderOf(dir);
        previous = setExceptionReporter([this](std::exception_ptr e) { reports.push_back(describeException(e)); });
    }
    void TearDown() override { setExceptionReporter(previous); }
    std::unique_ptr<TfrmMain> open(const std::string& config) {
        testsupport::writeFile(folder + "dbconfig.dat", "[Settings]\r\n" + config);
        auto w = std::make_unique<TfrmMain>(folder);
        w->show();
        QApplication::processEvents();
        return w;
    }
    QTemporaryDir dir;
    std::string folder;
    std::vector<std::string> reports;
    ExceptionReporter previous;
};

}  // namespace

TEST_F(BrandingWindowTest, StillBannerSizesAndCentresThePanel) {
    testsupport::writeFile(folder + "dbimg1.dat", pictureBytes(300, 200, "JPG"));
    testsupport::writeFile(folder + "brand.ico", pictureBytes(32, 32, "ICO"));
    auto w = open("AppName=Brand Tool\r\nBannerPath1=C:\\ads\\Banner.JPG\r\nBannerURL1=http://127.0.0.1:9/ad\r\n"
                  "Link3URL=http://127.0.0.1:9/three\r\nLink3Name=Three\r\nIconPath=C:\\x\\brand.ico\r\n");
    EXPECT_TRUE(reports.empty()) << reports.front();
    EXPECT_EQ(w->windowTitle(), "Brand Tool");
    auto* panel = w->findChild<QWidget*>("panBanner");
    auto* banner = w->findChild<QLabel*>("imgBanner");
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->height(), 210);
    EXPECT_EQ(banner->size(), QSize(300, 200));
    EXPECT_EQ(banner->pos(), QPoint(644 / 2 - 150, 210 / 2 - 100));
    EXPECT_EQ(banner->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w->findChild<QWidget*>("skSkinPanel3")->y(), 33 + 210);
    EXPECT_EQ(w->bannerUrl, "http://127.0.0.1:9/ad");
    EXPECT_EQ(w->findChild<QLabel*>("lblLink1URL")->text(), "Three");
    EXPECT_EQ(w->findChild<QLabel*>("lblLink2URL")->text(), "");
    EXPECT_FALSE(w->windowIcon().isNull());
    // The stored banner keeps its name; nothing new appears in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{"brand.ico", "dbconfig.dat", "dbimg1.dat"}));
    // Wider window: the banner stays centred.
    w->resize(1000, 500);
    QApplication::processEvents();
    EXPECT_EQ(banner->x(), 500 - 150);
}

TEST_F(BrandingWindowTest, MissingOrUnshownBannersHideThePanel) {
    {
        auto w = open("BannerPath1=banner.jpg\r\n");  // no dbimg1.dat
        EXPECT_TRUE(w->findChild<QWidget*>("panBanner")->isHidden());
        EXPECT_EQ(w->findChild<QWidget*>("skSkinPanel3")->y(), 33);
        EXPECT_EQ(w->windowTitle(), "Tessaly");
    }
    EXPECT_TRUE(reports.empty());
    {
        testsupport::writeFile(folder + "dbimg1.dat", "GIF89a");  // cut short after the version
        auto w = open("BannerPath2=promo.gif\r\n");
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], "EReadError: Stream read error");
        EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "dbimg1.dat")));
    }
}

TEST_F(BrandingWindowTest, BrokenBannerIsReportedAndTheRestStillApplies) {
    testsupport::writeFile(folder + "dbimg1.dat", pictureBytes(10, 10, "PNG"));
    auto w = open("AppName=Brand\r\nBannerPath1=banner.png\r\nLink1URL=http://127.0.0.1:9/\r\nLink1Name=Home\r\n");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "EInvalidGraphic: Unknown picture file extension (.png)");
    EXPECT_EQ(w->windowTitle(), "Brand");
    EXPECT_EQ(w->findChild<QLabel*>("lblLink1URL")->text(), "Home");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "dbimg1.dat")));

    reports.clear();
    testsupport::writeFile(folder + "dbimg1.dat", "not a jpeg at all");
    auto broken = open("BannerPath1=banner.jpg\r\n");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("EInvalidGraphic: JPEG error", 0), 0u) << reports[0];
}

TEST_F(BrandingWindowTest, ABannerAboveThePixelBudgetIsRefusedAndTheListStaysInView) {
    // A real 64 x 64 JPEG whose frame header claims 16384 x 16384 pixels: a few
    // hundred bytes that would take a gigabyte of pixels.
    std::string bytes = pictureBytes(64, 64, "JPG");
    const size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bytes[sof + 5] = bytes[sof + 7] = static_cast<char>(0x40);
    bytes[sof + 6] = bytes[sof + 8] = 0;
    testsupport::writeFile(folder + "dbimg1.dat", bytes);
    QElapsedTimer start;
    start.start();
    auto w = open("AppName=Brand\r\nBannerPath1=banner.jpg\r\n");
    EXPECT_LT(start.elapsed(), 2000);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "EInvalidGraphic: The picture is 16384 x 16384 pixels; at most 16777216 pixels can be shown");
    EXPECT_EQ(w->windowTitle(), "Brand");
    EXPECT_LE(w->findChild<QWidget*>("panBanner")->height(), 65);
    EXPECT_LE(w->findChild<QWidget*>("skSkinPanel3")->y(), 33 + 65);
    EXPECT_GT(w->findChild<QWidget*>("skSkinPanel3")->height(), 200);
}

TEST_F(BrandingWindowTest, MakeMoneyAndBannerOpenTheBrowserWithTheUrl) {
    // A desktop whose HTML handler is a script recording its arguments.
    const std::string home = folder + "home/";
    const std::string script = folder + "browser.sh";
    const std::string record = folder + "opened.txt";
    QDir().mkpath(QString::fromStdString(home + "config"));
    QDir().mkpath(QString::fromStdString(home + "data/applications"));
    testsupport::writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > " + record + ".tmp && mv " + record + ".tmp " +
                                       record + "\n");
    ::chmod(script.c_str(), 0755);
    testsupport::writeFile(home + "config/mimeapps.list", "[Default Applications]\ntext/html=fake.desktop;\n");
    testsupport::writeFile(home + "data/applications/fake.desktop",
                           "[Desktop Entry]\nType=Application\nExec=" + script + " --new-window %u\n");
    setenv("XDG_CONFIG_HOME", (home + "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (home + "none").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (home + "none").c_str(), 1);
    testsupport::writeFile(folder + "endpoints.ini", "[Endpoints]\nPromotion=http://127.0.0.1:9/promo/\n");

    auto waitForRecord = [&] {
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(QString::fromStdString(record)) && clock.elapsed() < 5000) QThread::msleep(10);
        const std::string text = testsupport::readFile(record);
        std::remove(record.c_str());
        return text;
    };
    {
        auto w = open("AppName=x\r\n");  // no affiliate: the bare base address
        w->findChild<QPushButton*>("btnMakeMoney")->click();
        EXPECT_EQ(waitForRecord(), "http://127.0.0.1:9/promo/|");
    }
    testsupport::writeFile(folder + "dbimg1.dat", pictureBytes(20, 20, "BMP"));
    auto w = open("AfiliateID=aff7\r\nBannerPath1=b.bmp\r\nBannerURL1=http://127.0.0.1:9/ad?x=1&y=2\r\n");
    w->findChild<QPushButton*>("btnMakeMoney")->click();
    EXPECT_EQ(waitForRecord(), "http://127.0.0.1:9/promo/aff7|");
    auto* banner = w->findChild<QLabel*>("imgBanner");
    const QPoint at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, banner->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, banner->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(banner, &press);
    QApplication::sendEvent(banner, &release);
    EXPECT_EQ(waitForRecord(), "http://127.0.0.1:9/ad?x=1&y=2|");
}

TEST(Application, ExceptionFromAnEventHandlerIsReportedAndTheProgramGoesOn) {
    testsupport::ensureApp();
    std::vector<std::string> reports;
    auto previous = setExceptionReporter([&](std::exception_ptr e) { reports.push_back(describeException(e)); });
    QPushButton button("boom");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        if (++clicks == 1) throw rtl::EStreamError("disk on fire");
    });
    button.show();
    auto clickOnce = [&] {
        const QPoint at(3, 3);
        QMouseEvent press(QEvent::MouseButtonPress, at, button.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, button.mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(&button, &press);
        QApplication::sendEvent(&button, &release);
    };
    clickOnce();
    clickOnce();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(reports, std::vector<std::string>{"EStreamError: disk on fire"});
    setExceptionReporter(previous);

    // The default reporter hands the error to the crash reporter's cycle, which logs it.
    QTemporaryDir folder;
    crashreport::TInstallParams params;
    params.options.ShowDialog = false;
    params.options.LogPath = folder.path().toStdString();
    crashreport::TExceptionLog::install(std::move(params));
    reportUnhandledException(std::make_exception_ptr(rtl::EThread("worker lost")));
    const std::string logPath = crashreport::TExceptionLog::instance()->logFilePath();
    crashreport::TExceptionLog::uninstall();
    const std::string log = testsupport::readFile(logPath);
    EXPECT_NE(log.find("2.4 Type   : EThread"), std::string::npos) << log.substr(0, 2000);
    EXPECT_NE(log.find("2.5 Message: worker lost"), std::string::npos);
}
