#include "platform/PictureLoader.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

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

std::string messageOf(const std::string& path, const std::string& ext) {
    try {
        loadPicture(path, ext);
    } catch (const EInvalidGraphic& e) {
        return e.message();
    }
    return "no error";
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
    // A BMP handed in as JPEG is not silently accepted.
    EXPECT_EQ(messageOf(dir.filePath("b.dat").toStdString(), "jpg").rfind("JPEG error", 0), 0u);
}

TEST(PictureLoader, RefusesWhatItCannotShow) {
    app();
    QTemporaryDir dir;
    const std::string any = save(dir, "x.dat", "PNG", {4, 4});
    EXPECT_EQ(messageOf(any, "png"), "Unknown picture file extension (.png)");
    EXPECT_EQ(messageOf(any, ""), "Unknown picture file extension (.)");
    EXPECT_NE(messageOf(any, "WMF").find("(.wmf)"), std::string::npos);
    EXPECT_NE(messageOf(any, "emf"), "no error");
    EXPECT_NE(messageOf(any, "bmp"), "no error");  // PNG bytes are no BMP
    EXPECT_NE(messageOf(dir.filePath("missing.dat").toStdString(), "jpg"), "no error");

    // A truncated JPEG and one claiming a huge size both fail cleanly.
    const std::string jpeg = save(dir, "t.dat", "JPG", {64, 64});
    QFile file(QString::fromStdString(jpeg));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const QByteArray truncated = bytes.left(bytes.size() / 3);
    EXPECT_THROW(platform::decodeJpeg(reinterpret_cast<const unsigned char*>(truncated.data()),
                                      static_cast<size_t>(truncated.size())),
                 EInvalidGraphic);
    const int sof = bytes.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    bytes[sof + 5] = '\xFF';  // height high byte: 65,000+ rows
    bytes[sof + 6] = '\xFF';
    EXPECT_THROW(platform::decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.data()),
                                      static_cast<size_t>(bytes.size())),
                 EInvalidGraphic);
}
