#include "banner/GIFComposer.h"

#include <algorithm>

#include "banner/GIFFormat.h"

namespace banner {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

struct ClippedRect {
    int left, top, right, bottom;  // screen coordinates, right/bottom exclusive
    bool empty() const { return left >= right || top >= bottom; }
};

ClippedRect clip(const TGIFFrame& frame, int screenWidth, int screenHeight) {
    return {std::min(frame.left, screenWidth), std::min(frame.top, screenHeight),
            std::min(frame.left + frame.width, screenWidth), std::min(frame.top + frame.height, screenHeight)};
}

}  // namespace

TGIFComposer::TGIFComposer(const TGIFImage& image, uint32_t windowColor)
    : m_image(image), m_windowColor(windowColor & 0xFFFFFFu) {}

void TGIFComposer::reset() {
    m_index = -1;
    std::vector<uint32_t>().swap(m_bitmap);
}

uint32_t TGIFComposer::backgroundFor(size_t index) const {
    if (const auto& own = m_image.frames()[index].transparentColor) return own->rgb();
    if (const auto image = m_image.transparentColor()) return image->rgb();
    return kOpaque | m_windowColor;
}

size_t TGIFComposer::startFrame(size_t index) const {
    const auto& frames = m_image.frames();
    const int w = m_image.width(), h = m_image.height();
    for (size_t k = index; k >= 1; --k) {
        const TGIFFrame& frame = frames[k];
        if (!frame.coversScreen(w, h)) continue;
        if (k == index) {
            if (!frame.transparentColor) return k;
            continue;
        }
        // Before frame index, what a full frame leaves behind depends on its
        // disposal: restoring to the previous state brings earlier frames back.
        switch (frame.effectiveDisposal()) {
            case dmBackground:
                return k;
            case dmPrevious:
                break;
            default:
                if (!frame.transparentColor) return k;
                break;
        }
    }
    return 0;
}

const std::vector<uint32_t>& TGIFComposer::compose(size_t index) {
    const auto& frames = m_image.frames();
    if (m_index == static_cast<int>(index)) return m_bitmap;
    // Within one image the background is always transparent or always the
    // window colour (only the RGB under alpha 0 may differ), so the previous
    // bitmap can be continued whatever frame index's own choice is.
    const uint32_t background = backgroundFor(index);
    if (index > 0 && m_index == static_cast<int>(index) - 1 && frames[index - 1].effectiveDisposal() != dmPrevious) {
        if (frames[index - 1].effectiveDisposal() == dmBackground) fillRect(frames[index - 1], background);
        draw(frames[index]);
    } else {
        rebuild(index, background);
    }
    m_index = static_cast<int>(index);
    return m_bitmap;
}

void TGIFComposer::rebuild(size_t index, uint32_t background) {
    ++m_rebuilds;
    const auto& frames = m_image.frames();
    m_bitmap.assign(static_cast<size_t>(m_image.width()) * static_cast<size_t>(m_image.height()), background);
    const size_t start = startFrame(index);
    for (size_t k = start; k < index; ++k) {
        switch (frames[k].effectiveDisposal()) {
            case dmBackground:
                if (k > start) fillRect(frames[k], background);
                break;
            case dmPrevious:
                break;
            default:
                draw(frames[k]);
                break;
        }
    }
    draw(frames[index]);
}

void TGIFComposer::fillRect(const TGIFFrame& frame, uint32_t color) {
    const ClippedRect r = clip(frame, m_image.width(), m_image.height());
    if (r.empty()) return;
    const size_t stride = static_cast<size_t>(m_image.width());
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = m_bitmap.data() + static_cast<size_t>(y) * stride;
        std::fill(row + r.left, row + r.right, color);
    }
}

void TGIFComposer::draw(const TGIFFrame& frame) {
    const ClippedRect r = clip(frame, m_image.width(), m_image.height());
    if (r.empty()) return;
    // Indices outside the colour table draw opaque black.
    uint32_t palette[gif::kMaxColors];
    std::fill(std::begin(palette), std::end(palette), kOpaque);
    const size_t entries = std::min<size_t>(frame.colorTable.size(), gif::kMaxColors);
    for (size_t i = 0; i < entries; ++i) palette[i] = kOpaque | frame.colorTable[i].rgb();
    const size_t stride = static_cast<size_t>(m_image.width());
    const size_t span = static_cast<size_t>(r.right - r.left);
    for (int y = r.top; y < r.bottom; ++y) {
        const uint8_t* src = frame.pixels.data() + static_cast<size_t>(y - frame.top) * static_cast<size_t>(frame.width);
        uint32_t* dst = m_bitmap.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(r.left);
        if (frame.transparentIndex < 0) {
            for (size_t x = 0; x < span; ++x) dst[x] = palette[src[x]];
        } else {
            const uint8_t key = static_cast<uint8_t>(frame.transparentIndex);
            for (size_t x = 0; x < span; ++x)
                if (src[x] != key) dst[x] = palette[src[x]];
        }
    }
}

}  // namespace banner
