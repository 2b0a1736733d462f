#pragma once
// Our own BMP file decoder: uncompressed 1, 4, 8, 16, 24 and 32 bits per
// pixel (with or without bit fields), RLE8 and RLE4, bottom-up and top-down.
// Every size and offset is checked against the bytes given.
// No shared state: safe from any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sk {

// Pixels as 0xAARRGGBB, top row first.
struct TskBitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    bool empty() const { return width == 0 || height == 0; }
    uint32_t pixel(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    bool operator==(const TskBitmap&) const = default;
};

// The length a BMP file image claims in its file header ("BM" + size field);
// raises EBitmapError when fewer than 14 bytes are given or the signature is wrong.
uint32_t bmpFileSize(const uint8_t* data, size_t size);

// Decodes one BMP file image of exactly size bytes (trailing bytes allowed).
// Raises EBitmapError on anything malformed or beyond the picture limits.
TskBitmap decodeBmp(const uint8_t* data, size_t size);

// A 24-bit bottom-up BMP file image of the bitmap (alpha dropped), or 32-bit
// with alpha when withAlpha. Used by the package writer and tests.
std::vector<uint8_t> encodeBmp(const TskBitmap& bitmap, bool withAlpha = false);

}  // namespace sk
