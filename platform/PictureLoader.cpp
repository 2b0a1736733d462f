#include "platform/PictureLoader.h"

#include <QBuffer>
#include <QImageReader>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "rtl/RegularFile.h"
#include "rtl/StringUtils.h"

namespace platform {

namespace {

struct JpegErrorTrap {
    jpeg_error_mgr base;
    jmp_buf escape;
    char text[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr info) {
    auto* trap = reinterpret_cast<JpegErrorTrap*>(info->err);
    (*info->err->format_message)(info, trap->text);
    std::longjmp(trap->escape, 1);
}

// Warnings (a corrupt or truncated stream) are not worth a line on stderr;
// libjpeg fills what is missing and the picture is still shown.
void onJpegMessage(j_common_ptr) {}

std::string tooLargeText(int64_t width, int64_t height) {
    return rtl::format("The picture is %lld x %lld pixels; at most %lld pixels can be shown",
                       static_cast<long long>(width), static_cast<long long>(height),
                       static_cast<long long>(kMaxPicturePixels));
}

bool withinBudget(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPicturePixels / height;
}

std::string readPictureFile(const std::string& path) {
    rtl::TRegularFile file(path);
    if (!file.isOpen()) throw EInvalidGraphic(rtl::format("Cannot open picture file \"%s\"", path.c_str()));
    if (static_cast<uint64_t>(file.size()) > kMaxPictureFileBytes)
        throw EInvalidGraphic(rtl::format("Picture file \"%s\" is too large", path.c_str()));
    try {
        return file.readUpTo(kMaxPictureFileBytes);
    } catch (const rtl::EReadError& e) {
        throw EInvalidGraphic(rtl::format("Cannot read picture file \"%s\": %s", path.c_str(), e.what()));
    }
}

QImage readWithQt(std::string_view bytes, const char* format) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    // Qt's own guard, in megabytes, a little above the budget's 32-bit pixels.
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    if (size.isValid() && !withinBudget(size.width(), size.height()))
        throw EInvalidGraphic(tooLargeText(size.width(), size.height()));
    QImage image = reader.read();
    if (image.isNull())
        throw EInvalidGraphic(rtl::format("Invalid %s picture: %s", format, reader.errorString().toLocal8Bit().constData()));
    if (!withinBudget(image.width(), image.height())) throw EInvalidGraphic(tooLargeText(image.width(), image.height()));
    return image;
}

}  // namespace

QImage decodeJpeg(const unsigned char* data, size_t size) {
    jpeg_decompress_struct info{};
    JpegErrorTrap trap{};
    info.err = jpeg_std_error(&trap.base);
    trap.base.error_exit = onJpegError;
    trap.base.output_message = onJpegMessage;
    QImage image;  // constructed before setjmp so the jump skips no destructor
    if (setjmp(trap.escape)) {
        jpeg_destroy_decompress(&info);
        throw EInvalidGraphic(rtl::format("JPEG error: %s", trap.text));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (!withinBudget(info.image_width, info.image_height)) {
        EInvalidGraphic refusal(tooLargeText(info.image_width, info.image_height));
        jpeg_destroy_decompress(&info);
        throw refusal;
    }
    info.out_color_space = JCS_EXT_RGBX;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGBX8888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        throw EInvalidGraphic("Not enough memory for the picture");
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

namespace {

// "jpeg", "bmp" or "ico" for an extension the loader reads; raises for any other.
std::string pictureFormat(const std::string& extension) {
    std::string ext = rtl::asciiLower(extension);
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    if (ext == "jpg" || ext == "jpeg") return "jpeg";
    if (ext == "bmp" || ext == "ico") return ext;
    if (ext == "wmf" || ext == "emf")
        throw EInvalidGraphic(rtl::format("Metafile pictures (.%s) cannot be shown on this system", ext.c_str()));
    throw EInvalidGraphic(rtl::format("Unknown picture file extension (.%s)", ext.c_str()));
}

QImage decodeFormat(std::string_view bytes, const std::string& format) {
    if (format == "jpeg") return decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return readWithQt(bytes, format.c_str());
}

}  // namespace

QImage decodePicture(std::string_view bytes, const std::string& extension) {
    return decodeFormat(bytes, pictureFormat(extension));
}

QImage loadPicture(const std::string& path, const std::string& extension) {
    const std::string format = pictureFormat(extension);  // judged before the file is touched
    return decodeFormat(readPictureFile(path), format);
}

}  // namespace platform
