#pragma once
// Still pictures chosen by file extension: JPEG, BMP and ICO. Metafiles are
// refused; any other extension is an error.

#include <QImage>
#include <string>

#include "rtl/Exception.h"

namespace platform {

RTL_DECLARE_EXCEPTION(EInvalidGraphic, rtl::Exception);

// Largest picture side accepted, so a crafted header cannot ask for gigabytes.
constexpr int kMaxPictureSide = 16384;

// Reads the picture in path in the format that extension names ("jpg",
// "jpeg", "bmp", "ico", "wmf", "emf"; case ignored, with or without the dot).
// Raises EInvalidGraphic for an unknown extension ("Unknown picture file
// extension (.%s)"), a metafile, or bytes that are not a valid picture.
QImage loadPicture(const std::string& path, const std::string& extension);

// Decodes JPEG bytes; raises EInvalidGraphic when they are not a JPEG.
QImage decodeJpeg(const unsigned char* data, size_t size);

}  // namespace platform
