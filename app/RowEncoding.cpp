#include "app/RowEncoding.h"

#include <cstring>

namespace app {

namespace {

size_t numberSize(size_t n) {
    size_t bytes = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++bytes;
    }
    return bytes;
}

char* putNumber(char* p, size_t n) {
    while (n >= 0x80) {
        *p++ = static_cast<char>((n & 0x7F) | 0x80);
        n >>= 7;
    }
    *p++ = static_cast<char>(n);
    return p;
}

// Stored rows were written by putNumber, so a number ends within 10 bytes.
const char* getNumber(const char* p, size_t& n) {
    n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        n |= static_cast<size_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) return p;
    }
}

}  // namespace

size_t storedRowSize(const RowCells& cells) {
    size_t size = 0;
    for (const auto& cell : cells) size += numberSize(cell.size()) + cell.size();
    return size;
}

void storeRow(char* dest, const RowCells& cells) {
    for (const auto& cell : cells) dest = putNumber(dest, cell.size());
    for (const auto& cell : cells) {
        if (!cell.empty()) std::memcpy(dest, cell.data(), cell.size());
        dest += cell.size();
    }
}

RowCells storedCells(const char* stored) {
    std::array<size_t, 6> lengths{};
    for (auto& length : lengths) stored = getNumber(stored, length);
    RowCells cells;
    for (size_t c = 0; c < cells.size(); ++c) {
        cells[c] = std::string_view(stored, lengths[c]);
        stored += lengths[c];
    }
    return cells;
}

size_t storedSizeAt(const char* stored) {
    const char* p = stored;
    size_t text = 0;
    for (int c = 0; c < 6; ++c) {
        size_t length;
        p = getNumber(p, length);
        text += length;
    }
    return static_cast<size_t>(p - stored) + text;
}

std::string_view storedCell(const char* stored, int column) {
    if (column < 0 || column >= 6) return {};
    size_t before = 0, length = 0;
    const char* p = stored;
    for (int c = 0; c < 6; ++c) {
        size_t n;
        p = getNumber(p, n);
        if (c < column) before += n;
        if (c == column) length = n;
    }
    return std::string_view(p + before, length);
}

}  // namespace app
