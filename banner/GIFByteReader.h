#pragma once
// Buffered reading of a GIF stream: bytes, little-endian words and
// data sub-blocks. Reads ahead in chunks, so a file is never held whole.
// Raises rtl::EReadError ("Stream read error") when the stream ends early.
// "*source" must stay live while the reader is used. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtl/Stream.h"

namespace banner {

class TGIFByteReader {
public:
    explicit TGIFByteReader(rtl::TStream& source);
    TGIFByteReader(const TGIFByteReader&) = delete;
    TGIFByteReader& operator=(const TGIFByteReader&) = delete;

    uint8_t readByte();
    uint16_t readWord();
    void readBytes(uint8_t* out, size_t count);
    // False at the end of the stream (no byte left), without raising.
    bool atEnd();

    // The next data sub-block: its payload stays valid until the next call.
    // An empty span is the block terminator.
    struct Block {
        const uint8_t* data;
        size_t size;
    };
    Block readSubBlock();
    // Skips sub-blocks up to and including the terminator.
    void skipSubBlocks();

private:
    // Makes at least `count` bytes available from m_pos; false at the end.
    bool fill(size_t count);

    rtl::TStream& m_source;
    std::vector<uint8_t> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_eof = false;
};

}  // namespace banner
