// gifdump FILE [OUTDIR]: prints a GIF's logical screen and frames, and with
// OUTDIR writes every composed frame as OUTDIR/frame-NNN.png (RGBA; pixels
// that stay transparent have alpha 0).
// Exit codes: 0 done, 1 the file could not be decoded or a PNG not written, 2 usage.

#include <QImage>
#include <cstdio>
#include <string>
#include <string_view>

#include "banner/GIFComposer.h"
#include "banner/GIFImage.h"
#include "rtl/Exception.h"

namespace {

void printImage(const banner::TGIFImage& image) {
    std::printf("screen: %dx%d\n", image.width(), image.height());
    std::printf("frames: %zu\n", image.frames().size());
    if (image.loop())
        std::printf("loop: %s, count %d\n", image.loop()->identifier.c_str(), image.loop()->count);
    else
        std::printf("loop: none\n");
    for (size_t i = 0; i < image.frames().size(); ++i) {
        const banner::TGIFFrame& f = image.frames()[i];
        std::printf("frame %zu: rect %d,%d %dx%d, delay %d ms, disposal %d, ", i, f.left, f.top, f.width, f.height,
                    f.delay, f.disposal);
        if (f.transparentColor)
            std::printf("transparent index %d (#%06x)", f.transparentIndex, f.transparentColor->rgb());
        else
            std::printf("transparent none");
        std::printf("%s%s\n", f.interlaced ? ", interlaced" : "", f.hasLocalColorTable ? ", local colours" : "");
    }
}

bool writeFrames(const banner::TGIFImage& image, const std::string& folder) {
    banner::TGIFComposer composer(image);
    for (size_t i = 0; i < image.frames().size(); ++i) {
        const std::vector<uint32_t>& bitmap = composer.compose(i);
        const QImage frame(reinterpret_cast<const uchar*>(bitmap.data()), image.width(), image.height(),
                           image.width() * 4, QImage::Format_ARGB32);
        char name[32];
        std::snprintf(name, sizeof name, "frame-%03zu.png", i);
        const std::string path = folder + "/" + name;
        if (!frame.save(QString::fromLocal8Bit(path.c_str()), "PNG")) {
            std::fprintf(stderr, "gifdump: cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("gifdump (Tessaly) %s\n", TESSALY_VERSION);
        return 0;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gifdump FILE [OUTDIR]\n");
        return 2;
    }
    banner::TGIFImage image;
    try {
        image.loadFromFile(argv[1]);
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "gifdump: %s: %s: %s\n", argv[1], e.className(), e.what());
        return 1;
    }
    printImage(image);
    // PNG writing is built into QImage: no application object or display needed.
    if (argc == 3 && image.width() > 0 && image.height() > 0 && !writeFrames(image, argv[2])) return 1;
    return 0;
}
