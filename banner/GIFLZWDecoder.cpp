#include "banner/GIFLZWDecoder.h"

#include <cstring>

#include "banner/GIFErrors.h"

namespace banner {

TGIFLZWDecoder::TGIFLZWDecoder(int minCodeSize, uint8_t* out, size_t pixelCount)
    : m_out(out), m_count(pixelCount), m_minCodeSize(minCodeSize), m_clear(1u << minCodeSize), m_end(m_clear + 1) {
    reset();
    m_done = pixelCount == 0;
}

void TGIFLZWDecoder::reset() {
    m_width = m_minCodeSize + 1;
    m_mask = (1u << m_width) - 1;
    m_next = m_clear + 2;
    m_havePrev = false;
}

void TGIFLZWDecoder::feed(const uint8_t* data, size_t size) {
    const uint8_t* p = data;
    const uint8_t* const end = data + size;
    while (!m_done) {
        // Top up the bit buffer a byte at a time; a code is at most 12 bits.
        while (m_bitCount < m_width) {
            if (p == end) return;
            m_bits |= static_cast<uint64_t>(*p++) << m_bitCount;
            m_bitCount += 8;
        }
        const uint32_t code = static_cast<uint32_t>(m_bits) & m_mask;
        m_bits >>= m_width;
        m_bitCount -= m_width;
        if (!decodeCode(code)) m_done = true;
    }
}

void TGIFLZWDecoder::writeRoot(uint32_t code) {
    // Colour tables hold at most 256 entries: a larger pixel value is damage.
    if (code >= static_cast<uint32_t>(gif::kMaxColors)) throwInvalidData();
    m_out[m_pos] = static_cast<uint8_t>(code);
}

void TGIFLZWDecoder::copyString(uint32_t source, uint32_t length, bool overlapping) {
    uint8_t* dst = m_out + m_pos;
    const uint8_t* src = m_out + source;
    if (overlapping) {
        for (uint32_t i = 0; i < length; ++i) dst[i] = src[i];
        return;
    }
    // The string lies wholly before dst, so copying in words is safe; the
    // overrun (under 8 bytes) lands where the next strings or the slack go.
    // Each word goes through a register: source and destination words may
    // overlap when the string ends just before dst.
    for (uint32_t i = 0; i < length; i += 8) {
        uint64_t word;
        std::memcpy(&word, src + i, 8);
        std::memcpy(dst + i, &word, 8);
    }
}

bool TGIFLZWDecoder::decodeCode(uint32_t code) {
    if (code == m_clear) {
        reset();
        return true;
    }
    if (code == m_end) return false;
    uint32_t length;
    if (code < m_clear) {
        writeRoot(code);
        length = 1;
    } else if (!m_havePrev) {
        throwInvalidData();  // after a clear the first code must be a pixel value
    } else if (code < m_next) {
        length = m_length[code];
        if (length > m_count - m_pos) length = static_cast<uint32_t>(m_count - m_pos);
        copyString(m_offset[code], length, false);
    } else if (code == m_next) {
        // The string being defined: the previous one plus its own first pixel.
        length = m_prevLen + 1;
        if (length > m_count - m_pos) length = static_cast<uint32_t>(m_count - m_pos);
        copyString(m_prevPos, length, true);
    } else {
        throwInvalidData();  // beyond the code table
    }
    if (m_havePrev && m_next < static_cast<uint32_t>(gif::kMaxCodes)) {
        m_offset[m_next] = m_prevPos;
        m_length[m_next] = static_cast<uint16_t>(m_prevLen + 1);
        ++m_next;
        if (m_next == (1u << m_width) && m_width < gif::kMaxCodeBits) {
            ++m_width;
            m_mask = (1u << m_width) - 1;
        }
    }
    m_havePrev = true;
    m_prevPos = static_cast<uint32_t>(m_pos);
    m_prevLen = length;
    m_pos += length;
    return m_pos < m_count;
}

}  // namespace banner
