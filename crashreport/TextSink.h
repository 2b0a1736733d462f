#pragma once
// A text writer over a fixed buffer the caller owns. It never allocates, so it
// also serves inside a fatal-signal handler; what does not fit is dropped and
// truncated() tells. Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace crashreport {

class TTextSink {
public:
    TTextSink(char* buffer, size_t capacity) : m_buffer(buffer), m_capacity(capacity) {}

    void add(std::string_view text);
    void addChar(char c, size_t count = 1);
    // Upper-case hexadecimal, zero-padded to digits (1..16).
    void addHex(uint64_t value, int digits);
    void addDecimal(uint64_t value);
    // Zero-padded to at least width digits.
    void addDecimal(uint64_t value, int width);
    // text, then blanks up to width.
    void addPadded(std::string_view text, size_t width);

    std::string_view text() const { return {m_buffer, m_size}; }
    size_t size() const { return m_size; }
    bool truncated() const { return m_truncated; }

private:
    char* m_buffer;
    size_t m_capacity;
    size_t m_size = 0;
    bool m_truncated = false;
};

// Digits needed to print value in decimal.
size_t decimalWidth(uint64_t value);

}  // namespace crashreport
