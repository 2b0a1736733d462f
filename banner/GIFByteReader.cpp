#include "banner/GIFByteReader.h"

#include <cstring>

#include "banner/GIFErrors.h"

namespace banner {

namespace {
constexpr size_t kChunkSize = 64 * 1024;
}

TGIFByteReader::TGIFByteReader(rtl::TStream& source) : m_source(source), m_buffer(kChunkSize) {}

bool TGIFByteReader::fill(size_t count) {
    if (m_end - m_pos >= count) return true;
    // Keep the unread tail and read behind it until count bytes are there.
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
    while (m_end < count && !m_eof) {
        const int64_t got = m_source.read(m_buffer.data() + m_end, static_cast<int64_t>(m_buffer.size() - m_end));
        if (got <= 0)
            m_eof = true;
        else
            m_end += static_cast<size_t>(got);
    }
    return m_end >= count;
}

bool TGIFByteReader::atEnd() { return !fill(1); }

uint8_t TGIFByteReader::readByte() {
    if (!fill(1)) throwStreamRead();
    return m_buffer[m_pos++];
}

uint16_t TGIFByteReader::readWord() {
    if (!fill(2)) throwStreamRead();
    const uint16_t value = static_cast<uint16_t>(m_buffer[m_pos] | (m_buffer[m_pos + 1] << 8));
    m_pos += 2;
    return value;
}

void TGIFByteReader::readBytes(uint8_t* out, size_t count) {
    // Requests are small (tables, descriptors), far below the chunk size.
    if (count > m_buffer.size() || !fill(count)) throwStreamRead();
    std::memcpy(out, m_buffer.data() + m_pos, count);
    m_pos += count;
}

TGIFByteReader::Block TGIFByteReader::readSubBlock() {
    const size_t size = readByte();
    if (!fill(size)) throwStreamRead();
    const Block block{m_buffer.data() + m_pos, size};
    m_pos += size;
    return block;
}

void TGIFByteReader::skipSubBlocks() {
    // Each round consumes at least the length byte, so the stream's end bounds it.
    while (readSubBlock().size != 0) {
    }
}

}  // namespace banner
