#pragma once
// Variable-length LZW of GIF image data, fed sub-block by sub-block.
// Codes start at minCodeSize + 1 bits and grow to 12; a clear code resets
// the table, and a full table simply stops growing until the next clear
// (a deferred clear). Each table entry is a back-reference into the pixels
// already written, so a code costs one short copy.
// Raises EGIFDecodeError ("Неверные данные в формате GIF") for a code beyond
// the table or a pixel value no colour table can hold. One thread.

#include <cstddef>
#include <cstdint>

#include "banner/GIFFormat.h"

namespace banner {

class TGIFLZWDecoder {
public:
    // Bytes past pixelCount that the output buffer must have as scratch room.
    static constexpr size_t kSlack = 16;

    // REQUIRES: minCodeSize in kMinCodeSize..kMaxCodeSize; out holds
    // pixelCount + kSlack bytes and lives as long as the decoder.
    TGIFLZWDecoder(int minCodeSize, uint8_t* out, size_t pixelCount);

    // Decodes the next compressed bytes. Once finished() it ignores input.
    void feed(const uint8_t* data, size_t size);
    // The end code was read or every pixel has been written.
    bool finished() const { return m_done; }
    size_t written() const { return m_pos; }

private:
    void reset();
    // Returns false when decoding is complete.
    bool decodeCode(uint32_t code);
    void writeRoot(uint32_t code);
    void copyString(uint32_t source, uint32_t length, bool overlapping);

    uint8_t* m_out;
    size_t m_count;
    size_t m_pos = 0;
    bool m_done = false;

    const int m_minCodeSize;
    const uint32_t m_clear;
    const uint32_t m_end;
    int m_width = 0;
    uint32_t m_mask = 0;
    uint32_t m_next = 0;
    bool m_havePrev = false;
    uint32_t m_prevPos = 0;
    uint32_t m_prevLen = 0;

    uint64_t m_bits = 0;
    int m_bitCount = 0;

    uint32_t m_offset[gif::kMaxCodes];
    uint16_t m_length[gif::kMaxCodes];
};

}  // namespace banner
