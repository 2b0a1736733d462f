#pragma once
// Follows the record framing of a raw TLS byte stream (5-byte header with a
// 16-bit length, then the body) without decoding anything, so that a close
// of the connection can be placed: between two records, or inside one.
// Thread-safety: one thread at a time.

#include <cstddef>
#include <cstdint>

namespace net {

class TNetTLSRecordTracker {
public:
    static constexpr size_t kHeaderSize = 5;

    void Reset() { *this = TNetTLSRecordTracker(); }
    // REQUIRES: data holds count bytes; they follow the bytes fed before.
    void Feed(const unsigned char* data, size_t count);
    // True when the bytes fed so far end exactly after a whole record.
    bool AtBoundary() const { return m_headerHave == 0 && m_bodyLeft == 0; }
    uint64_t Records() const { return m_records; }

private:
    unsigned char m_header[kHeaderSize] = {};
    size_t m_headerHave = 0;
    size_t m_bodyLeft = 0;
    uint64_t m_records = 0;
};

}  // namespace net
