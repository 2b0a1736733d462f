#pragma once
// Reads a GIF stream block by block into a TGIFImage: header, logical
// screen, colour tables, extensions and frames. One small function per
// block; every size from the file is checked against GIFFormat.h's limits.
// A failed parser stays failed: parse() raises and may not be called again.

#include <cstdint>
#include <optional>

#include "banner/GIFByteReader.h"
#include "banner/GIFImage.h"

namespace banner {

class TGIFParser {
public:
    TGIFParser(rtl::TStream& source, const TGIFLimits& limits) : m_in(source), m_limits(limits) {}
    TGIFParser(const TGIFParser&) = delete;
    TGIFParser& operator=(const TGIFParser&) = delete;

    // Raises EGIFDecodeError or rtl::EReadError with the fixed texts.
    TGIFImage parse();

private:
    struct GraphicControl {
        int disposal = 0;
        int delayHundredths = 0;
        bool transparent = false;
        int transparentIndex = 0;
    };

    void readHeader();
    void readScreen();
    void readColorTable(uint8_t packed, TGIFColorTable& table);
    // Returns false at the trailer or the end of the data.
    bool readBlock();
    void readExtension();
    void readGraphicControl();
    void readComment();
    void readApplication();
    void readFrame();
    void applyControl(TGIFFrame& frame);
    void decodePixels(TGIFFrame& frame, int minCodeSize);
    void account(uint64_t bytes);

    TGIFByteReader m_in;
    const TGIFLimits m_limits;
    TGIFImage m_image;
    std::optional<GraphicControl> m_control;  // applies to the next image
    uint64_t m_decodedBytes = 0;
    size_t m_commentBytes = 0;
};

}  // namespace banner
