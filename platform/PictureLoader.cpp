#include "platform/PictureLoader.h"

#include <QImageReader>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <vector>

#include <jpeglib.h>

#include "rtl/StringUtils.h"

namespace platform {

namespace {

constexpr size_t kMaxPictureFileBytes = 64 * 1024 * 1024;

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

std::vector<unsigned char> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw EInvalidGraphic(rtl::format("Cannot open picture file \"%s\"", path.c_str()));
    const auto size = static_cast<std::streamoff>(in.tellg());
    if (size < 0 || static_cast<size_t>(size) > kMaxPictureFileBytes)
        throw EInvalidGraphic(rtl::format("Picture file \"%s\" is too large", path.c_str()));
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return bytes;
}

QImage readWithQt(const std::string& path, const char* format) {
    QImageReader reader(QString::fromLocal8Bit(path), format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)
        throw EInvalidGraphic("Picture is too large");
    QImage image = reader.read();
    if (image.isNull())
        throw EInvalidGraphic(rtl::format("Invalid %s picture: %s", format, reader.errorString().toLocal8Bit().constData()));
    return image;
}

}  // namespace

QImage decodeJpeg(const unsigned char* data, size_t size) {
    jpeg_decompress_struct info{};
    JpegErrorTrap trap{};
    info.err = jpeg_std_error(&trap.base);
    trap.base.error_exit = onJpegError;
    QImage image;  // constructed before setjmp so the jump skips no destructor
    if (setjmp(trap.escape)) {
        jpeg_destroy_decompress(&info);
        throw EInvalidGraphic(rtl::format("JPEG error: %s", trap.text));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > kMaxPictureSide || info.image_height > kMaxPictureSide) {
        jpeg_destroy_decompress(&info);
        throw EInvalidGraphic("Picture is too large");
    }
    info.out_color_space = JCS_EXT_RGBX;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGBX8888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

QImage loadPicture(const std::string& path, const std::string& extension) {
    std::string ext = rtl::asciiLower(extension);
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    if (ext == "jpg" || ext == "jpeg") {
        const auto bytes = readWholeFile(path);
        return decodeJpeg(bytes.data(), bytes.size());
    }
    if (ext == "bmp") return readWithQt(path, "bmp");
    if (ext == "ico") return readWithQt(path, "ico");
    if (ext == "wmf" || ext == "emf")
        throw EInvalidGraphic(rtl::format("Metafile pictures (.%s) cannot be shown on this system", ext.c_str()));
    throw EInvalidGraphic(rtl::format("Unknown picture file extension (.%s)", ext.c_str()));
}

}  // namespace platform
