#include "browser/PictureAnswer.h"

#include <QBuffer>
#include <QImageReader>

#include "browser/BrowserHost.h"

namespace browser {

namespace {

bool isShownFormat(const QByteArray& format) {
    return format == "png" || format == "jpeg" || format == "jpg" || format == "gif" || format == "bmp";
}

TPictureAnswer refused(const QString& message) { return {QImage(), message}; }

}  // namespace

TPictureAnswer decodePictureAnswer(const QByteArray& bytes) {
    if (bytes.isEmpty()) return refused("The answer is empty.");
    QByteArray copy = bytes;  // QBuffer wants a non-const array; the copy shares the data
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!isShownFormat(format)) return refused("The answer is not a picture.");
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return refused("The picture cannot be read.");
    if (qint64{size.width()} * size.height() > kMaxPicturePixels)
        return refused("The picture has more than 64 megapixels and is not shown.");
    // Qt's own allocation guard must not be the tighter one: 4 bytes a pixel, in MiB.
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1 << 20)) + 1);
    QImage picture = reader.read();
    if (picture.isNull()) return refused("The picture cannot be read.");
    return {picture, QString()};
}

}  // namespace browser
