#include "crashreport/TextSink.h"

namespace crashreport {

void TTextSink::add(std::string_view text) {
    size_t n = text.size();
    if (n > m_capacity - m_size) {
        n = m_capacity - m_size;
        m_truncated = true;
    }
    for (size_t i = 0; i < n; ++i) m_buffer[m_size + i] = text[i];
    m_size += n;
}

void TTextSink::addChar(char c, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (m_size == m_capacity) {
            m_truncated = true;
            return;
        }
        m_buffer[m_size++] = c;
    }
}

void TTextSink::addHex(uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    char out[16];
    if (digits < 1) digits = 1;
    if (digits > 16) digits = 16;
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value & 0xF];
        value >>= 4;
    }
    add({out, static_cast<size_t>(digits)});
}

void TTextSink::addDecimal(uint64_t value) { addDecimal(value, 1); }

void TTextSink::addDecimal(uint64_t value, int width) {
    char out[20];
    int n = 0;
    do {
        out[19 - n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < 20);
    while (n < width && n < 20) out[19 - n++] = '0';
    add({out + 20 - n, static_cast<size_t>(n)});
}

void TTextSink::addPadded(std::string_view text, size_t width) {
    add(text);
    if (text.size() < width) addChar(' ', width - text.size());
}

size_t decimalWidth(uint64_t value) {
    size_t n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

}  // namespace crashreport
