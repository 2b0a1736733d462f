#include "platform/PictureLoader.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "ExpectThrow.h"

using platform::EInvalidGraphic;
using platform::loadPicture;

namespace {

QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "t";
    static char* argv[] = {name, nullptr};
    static auto* a = new QGuiApplication(argc, argv);
    return *a;
}

std::string save(const QTemporaryDir& dir, const char* file, const char* format, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    const QString path = dir.filePath(file);
    EXPECT_TRUE(image.save(path, format)) << file;
    return path.toStdString();
}

QByteArray fileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// A real JPEG of 64 x 64 pixels whose header claims width x height.
QByteArray jpegClaiming(const QTemporaryDir& dir, int width, int height) {
    QByteArray bytes = fileBytes(save(dir, "claim.dat", "JPG", {64, 64}));
    const int sof = bytes.indexOf("\xFF\xC0");
    EXPECT_GT(sof, 0);
    bytes[sof + 5] = static_cast<char>(height >> 8);
    bytes[sof + 6] = static_cast<char>(height & 0xFF);
    bytes[sof + 7] = static_cast<char>(width >> 8);
    bytes[sof + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}

QImage decode(const QByteArray& bytes) {
    return platform::decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<size_t>(bytes.size()));
}

}  // namespace

TEST(PictureLoader, ReadsByExtensionNotByName) {
    app();
    QTemporaryDir dir;
    // The stored file name says nothing; the extension handed in decides.
    const std::string jpeg = save(dir, "dbimg1.dat", "JPG", {120, 45});
    const QImage picture = loadPicture(jpeg, "JPEG");
    EXPECT_EQ(picture.size(), QSize(120, 45));
    const QRgb middle = picture.pixel(60, 22);
    EXPECT_NEAR(qRed(middle), 200, 8);
    EXPECT_NEAR(qGreen(middle), 30, 8);
    EXPECT_EQ(loadPicture(save(dir, "b.dat", "BMP", {7, 3}), ".bmp").size(), QSize(7, 3));
    EXPECT_EQ(loadPicture(save(dir, "i.dat", "ICO", {32, 32}), "ico").size(), QSize(32, 32));
}

TEST(PictureLoader, ABmpHandedInAsJpegIsNotAccepted) {
    app();
    QTemporaryDir dir;
    const std::string bmp = save(dir, "b.dat", "BMP", {7, 3});
    testsupport::expectThrowWith<EInvalidGraphic>([&] { loadPicture(bmp, "jpg"); },
                                                  "JPEG error: Not a JPEG file: starts with 0x42 0x4d");
}

TEST(PictureLoader, UnknownExtensionsAndMetafilesAreRefused) {
    app();
    QTemporaryDir dir;
    const std::string any = save(dir, "x.dat", "PNG", {4, 4});
    testsupport::expectThrowWith<EInvalidGraphic>([&] { loadPicture(any, "png"); }, "Unknown picture file extension (.png)");
    testsupport::expectThrowWith<EInvalidGraphic>([&] { loadPicture(any, ""); }, "Unknown picture file extension (.)");
    testsupport::expectThrowWith<EInvalidGraphic>([&] { loadPicture(any, "WMF"); },
                                                  "Metafile pictures (.wmf) cannot be shown on this system");
    EXPECT_THROW(loadPicture(any, "emf"), EInvalidGraphic);
    EXPECT_THROW(loadPicture(any, "bmp"), EInvalidGraphic);  // PNG bytes are no BMP
}

TEST(PictureLoader, MissingAndNonRegularFilesAreRefusedAtOnce) {
    app();
    QTemporaryDir dir;
    const std::string missing = dir.filePath("missing.dat").toStdString();
    testsupport::expectThrowWith<EInvalidGraphic>([&] { loadPicture(missing, "jpg"); },
                                                  "Cannot open picture file \"" + missing + "\"");
    const std::string fifo = dir.filePath("fifo.dat").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(loadPicture(fifo, "bmp"), EInvalidGraphic);
}

TEST(PictureLoader, ATruncatedJpegFailsCleanly) {
    app();
    QTemporaryDir dir;
    const QByteArray bytes = fileBytes(save(dir, "t.dat", "JPG", {64, 64}));
    EXPECT_THROW(decode(bytes.left(bytes.size() / 3)), EInvalidGraphic);
}

TEST(PictureLoader, AJpegHeaderAboveThePixelBudgetIsRefusedBeforeDecoding) {
    app();
    QTemporaryDir dir;
    testsupport::expectThrowWith<EInvalidGraphic>(
        [&] { decode(jpegClaiming(dir, 16384, 16384)); },
        "The picture is 16384 x 16384 pixels; at most 16777216 pixels can be shown");
    EXPECT_THROW(decode(jpegClaiming(dir, 4097, 4096)), EInvalidGraphic);
}

TEST(PictureLoader, ABmpAboveThePixelBudgetIsRefused) {
    app();
    // A BMP header of 5000 x 5000 pixels at 24 bits with no pixel data behind it.
    QByteArray bmp(54, '\0');
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 54 + 5000u * 5000u * 3u);
    put32(10, 54);
    put32(14, 40);
    put32(18, 5000);
    put32(22, 5000);
    bmp[26] = 1;
    bmp[28] = 24;
    testsupport::expectThrowWith<EInvalidGraphic>(
        [&] { platform::decodePicture(std::string_view(bmp.data(), static_cast<size_t>(bmp.size())), "bmp"); },
        "The picture is 5000 x 5000 pixels; at most 16777216 pixels can be shown");
}

TEST(PictureLoader, APictureWithinTheBudgetIsShownWhole) {
    app();
    QTemporaryDir dir;
    EXPECT_EQ(loadPicture(save(dir, "big.dat", "JPG", {4096, 4096}), "jpg").size(), QSize(4096, 4096));
}
