#pragma once
// A decoded GIF file: logical screen, global colour table, frames in file
// order, comments and the looping extension. No Qt; one thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "banner/GIFFormat.h"
#include "rtl/Stream.h"

namespace banner {

struct TGIFColor {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const TGIFColor&) const = default;
    // 0xRRGGBB
    uint32_t rgb() const { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b; }
};

using TGIFColorTable = std::vector<TGIFColor>;

// Disposal methods of the graphic control extension; 4..7 are undefined
// and play as dmNone.
enum TGIFDisposal : uint8_t { dmNone = 0, dmKeep = 1, dmBackground = 2, dmPrevious = 3 };

// One image of the file with what its graphic control extension says.
struct TGIFFrame {
    int left = 0, top = 0;
    int width = 0, height = 0;       // 0 in the file is taken as the screen's
    TGIFColorTable colorTable;       // the local table, else a copy of the global one
    bool hasLocalColorTable = false;
    int transparentIndex = -1;       // -1: no transparent colour
    std::optional<TGIFColor> transparentColor;
    int delay = 0;                   // milliseconds (hundredths x 10); 0 without extension
    int disposal = dmNone;           // raw 0..7 from the file
    bool interlaced = false;
    std::vector<uint8_t> pixels;     // width * height indices, rows top to bottom

    bool coversScreen(int screenWidth, int screenHeight) const {
        return left == 0 && top == 0 && width >= screenWidth && height >= screenHeight;
    }
    // The disposal that playback applies (undefined values leave the frame).
    TGIFDisposal effectiveDisposal() const { return disposal <= dmPrevious ? TGIFDisposal(disposal) : dmNone; }
};

// The looping application extension, when the file carries one.
struct TGIFLoop {
    std::string identifier;  // "NETSCAPE2.0" or "ANIMEXTS1.0"
    int count = 0;           // 0 = forever
};

// What one file may make the decoder allocate; beyond it loading fails.
struct TGIFLimits {
    uint64_t maxFramePixels = gif::kMaxFramePixels;  // each frame, and the logical screen
    uint64_t maxDecodedBytes = gif::kMaxDecodedBytes;
    size_t maxFrames = gif::kMaxFrames;
};

class TGIFImage {
public:
    // Decode the whole file, replacing what the image held. On failure the
    // image is left as it was and EGIFDecodeError or rtl::EReadError is raised.
    void loadFromFile(const std::string& path, const TGIFLimits& limits = {});
    void loadFromStream(rtl::TStream& stream, const TGIFLimits& limits = {});
    void loadFromBytes(const void* data, size_t size, const TGIFLimits& limits = {});

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_frames.empty(); }
    const std::string& version() const { return m_version; }
    const TGIFColorTable& globalColorTable() const { return m_globalColorTable; }
    int backgroundIndex() const { return m_backgroundIndex; }
    const std::vector<TGIFFrame>& frames() const { return m_frames; }
    const std::vector<std::string>& comments() const { return m_comments; }
    const std::optional<TGIFLoop>& loop() const { return m_loop; }

    // Transparent when any frame has a transparent colour; the image's
    // transparent colour is that of the first such frame.
    bool isTransparent() const { return transparentColor().has_value(); }
    std::optional<TGIFColor> transparentColor() const;

private:
    friend class TGIFParser;

    std::string m_version;
    int m_width = 0, m_height = 0;
    TGIFColorTable m_globalColorTable;
    int m_backgroundIndex = 0;
    std::vector<TGIFFrame> m_frames;
    std::vector<std::string> m_comments;
    std::optional<TGIFLoop> m_loop;
};

}  // namespace banner
