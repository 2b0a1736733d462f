#pragma once
// Turns the bytes of an answer into what the image view shows: a picture, or
// the text line that says why there is none. Safe from any thread.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace browser {

struct TPictureAnswer {
    QImage picture;   // null when the answer is not shown as a picture
    QString message;  // empty when picture is set
};

// PNG, JPEG, GIF (its first frame) and BMP, told by their bytes, not by what
// the peer calls them. A picture over kMaxPicturePixels is refused from its
// header alone, before any pixel is decoded.
TPictureAnswer decodePictureAnswer(const QByteArray& bytes);

}  // namespace browser
