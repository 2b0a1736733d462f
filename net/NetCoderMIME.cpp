#include "net/NetCoderMIME.h"

namespace net {

namespace {

// Messages of this module.
constexpr const char* kUnevenSize = "Uneven size in Encode.";
constexpr const char* kBadCharacter = "Invalid character in Base64 text.";
constexpr const char* kBadLength = "Base64 text has an impossible length.";

constexpr unsigned char kNotInAlphabet = 255;

bool isSkipped(char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }

}  // namespace

std::string TNetEncoder3to4::Encode(std::string_view data, size_t byteCount) const {
    if (byteCount != kAll) {
        if (byteCount % 3 != 0) throw ENetException(kUnevenSize);
        if (byteCount < data.size()) data = data.substr(0, byteCount);
    }
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(data[i]) << 16 | static_cast<unsigned char>(data[i + 1]) << 8 |
                           static_cast<unsigned char>(data[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) out += m_alphabet[(v >> shift) & 63];
    }
    const size_t left = data.size() - i;
    if (left == 0) return out;
    unsigned v = static_cast<unsigned char>(data[i]) << 16;
    if (left == 2) v |= static_cast<unsigned char>(data[i + 1]) << 8;
    out += m_alphabet[(v >> 18) & 63];
    out += m_alphabet[(v >> 12) & 63];
    out += left == 2 ? m_alphabet[(v >> 6) & 63] : m_fill;
    out += m_fill;
    return out;
}

TNetDecoder4to3::TNetDecoder4to3(std::string_view alphabet, char fill) : m_fill(fill) {
    m_table.fill(kNotInAlphabet);
    for (size_t i = 0; i < alphabet.size() && i < 64; ++i) {
        const auto c = static_cast<unsigned char>(alphabet[i]);
        if (c < m_table.size()) m_table[c] = static_cast<unsigned char>(i);
    }
}

std::string TNetDecoder4to3::DecodeText(std::string_view text) const {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    unsigned v = 0;
    size_t digits = 0, fills = 0;
    for (char c : text) {
        if (isSkipped(c)) continue;
        if (c == m_fill) {
            ++fills;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        if (fills > 0 || u >= m_table.size() || m_table[u] == kNotInAlphabet) throw ENetInvalidCoderText(kBadCharacter);
        v = v << 6 | m_table[u];
        if (++digits % 4 == 0) {
            out += static_cast<char>(v >> 16 & 0xFF);
            out += static_cast<char>(v >> 8 & 0xFF);
            out += static_cast<char>(v & 0xFF);
            v = 0;
        }
    }
    const size_t tail = digits % 4;
    // A tail of one digit cannot come from a byte; fill must complete the group.
    if (tail == 1 || fills > 2 || (fills > 0 && tail + fills != 4)) throw ENetInvalidCoderText(kBadLength);
    if (tail == 2) out += static_cast<char>(v >> 4 & 0xFF);
    if (tail == 3) {
        out += static_cast<char>(v >> 10 & 0xFF);
        out += static_cast<char>(v >> 2 & 0xFF);
    }
    return out;
}

}  // namespace net
