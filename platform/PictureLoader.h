#pragma once
// Still pictures chosen by file extension: JPEG, BMP and ICO. Metafiles are
// refused; any other extension is an error.

#include <QImage>
#include <string>
#include <string_view>

#include "rtl/Exception.h"

namespace platform {

RTL_DECLARE_EXCEPTION(EInvalidGraphic, rtl::Exception);

// Largest picture accepted, checked from the header before any pixel memory
// is taken, so a crafted header of a few bytes cannot ask for gigabytes.
constexpr int64_t kMaxPicturePixels = int64_t{4096} * 4096;
// Largest picture file read.
constexpr size_t kMaxPictureFileBytes = 64 * 1024 * 1024;

// Reads the picture in path in the format that extension names ("jpg",
// "jpeg", "bmp", "ico", "wmf", "emf"; case ignored, with or without the dot).
// Raises EInvalidGraphic for an unknown extension ("Unknown picture file
// extension (.%s)"), a metafile, a file that is missing or no regular file, a
// picture above kMaxPicturePixels, or bytes that are not a valid picture.
QImage loadPicture(const std::string& path, const std::string& extension);

// Decodes picture bytes of one format ("jpg"/"jpeg", "bmp", "ico"); raises
// EInvalidGraphic as loadPicture does.
QImage decodePicture(std::string_view bytes, const std::string& extension);

// Decodes JPEG bytes; raises EInvalidGraphic when they are not a JPEG.
QImage decodeJpeg(const unsigned char* data, size_t size);

}  // namespace platform
