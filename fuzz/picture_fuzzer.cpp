// The still-picture loader on JPEG, BMP and ICO bytes: a picture or EInvalidGraphic,
// never one above the pixel budget. The first byte picks the format.
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/PictureLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "picture_fuzzer";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    if (size == 0) return 0;
    static const char* const formats[] = {"jpg", "bmp", "ico"};
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        const QImage image = platform::decodePicture(bytes, formats[data[0] % 3]);
        if (int64_t{image.width()} * image.height() > platform::kMaxPicturePixels) __builtin_trap();
    } catch (const platform::EInvalidGraphic&) {
    }
    return 0;
}
