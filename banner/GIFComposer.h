#pragma once
// Composes the frames of a TGIFImage into screen-sized ARGB bitmaps
// (0xAARRGGBB words, rows top to bottom). Consecutive frames build on the
// previous bitmap; a jump or a restore-to-previous disposal starts again
// from the last frame that hides all before it.
// Pixels that stay transparent have alpha 0 and the transparent colour's RGB.
// "*image" must outlive the composer and stay unchanged. One thread.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "banner/GIFImage.h"

namespace banner {

class TGIFComposer {
public:
    // windowColor: 0xRRGGBB of the background where the image has no transparency.
    explicit TGIFComposer(const TGIFImage& image, uint32_t windowColor = 0xFFFFFF);

    // The bitmap of frame index (width() * height() words); it stays valid
    // until the next compose() or reset().
    // REQUIRES: index < number of frames.
    const std::vector<uint32_t>& compose(size_t index);
    // Forgets the kept bitmap and frees it.
    void reset();

    int composedIndex() const { return m_index; }
    // How many composes started from scratch (the rest were incremental).
    size_t rebuilds() const { return m_rebuilds; }

    // The background of frame index: transparent (alpha 0) with the frame's or
    // the image's transparent colour, else the window colour, opaque.
    uint32_t backgroundFor(size_t index) const;
    // The start frame of a rebuild for frame index: the latest frame at or
    // before it whose result hides everything drawn earlier.
    size_t startFrame(size_t index) const;

private:
    void rebuild(size_t index, uint32_t background);
    void draw(const TGIFFrame& frame);
    void fillRect(const TGIFFrame& frame, uint32_t color);

    const TGIFImage& m_image;
    uint32_t m_windowColor;
    std::vector<uint32_t> m_bitmap;
    int m_index = -1;
    size_t m_rebuilds = 0;
};

}  // namespace banner
