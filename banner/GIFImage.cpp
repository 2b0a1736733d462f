#include "banner/GIFImage.h"

#include "banner/GIFParser.h"

namespace banner {

void TGIFImage::loadFromFile(const std::string& path, const TGIFLimits& limits) {
    rtl::TFileStream file(path, rtl::FileMode::OpenRead);
    loadFromStream(file, limits);
}

void TGIFImage::loadFromStream(rtl::TStream& stream, const TGIFLimits& limits) {
    TGIFParser parser(stream, limits);
    *this = parser.parse();
}

void TGIFImage::loadFromBytes(const void* data, size_t size, const TGIFLimits& limits) {
    rtl::TStringStream stream(std::string(static_cast<const char*>(data), size));
    loadFromStream(stream, limits);
}

std::optional<TGIFColor> TGIFImage::transparentColor() const {
    for (const TGIFFrame& frame : m_frames)
        if (frame.transparentColor) return frame.transparentColor;
    return std::nullopt;
}

}  // namespace banner
