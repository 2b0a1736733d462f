#pragma once
// Builders of BMP file images and skin folders for the skin tests.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "skin/skBitmap.h"

namespace skintest {

inline void putU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void putU32(std::vector<uint8_t>& out, uint32_t v) {
    putU16(out, v);
    putU16(out, v >> 16);
}

// A BMP with a 40-byte header (plus masks when given), palette and raw pixel data as given.
struct BmpSpec {
    int32_t width = 1, height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> masks;    // after the header, for bit fields
    std::vector<uint8_t> pixels;    // exactly as stored
    int64_t sizeFieldDelta = 0;     // lies in the file header's size field
};

inline std::vector<uint8_t> makeBmp(const BmpSpec& s) {
    const uint32_t offset = 14 + 40 + uint32_t(s.masks.size() * 4 + s.palette.size() * 4);
    const uint32_t total = offset + uint32_t(s.pixels.size());
    std::vector<uint8_t> out{'B', 'M'};
    putU32(out, uint32_t(int64_t(total) + s.sizeFieldDelta));
    putU32(out, 0);
    putU32(out, offset);
    putU32(out, 40);
    putU32(out, uint32_t(s.width));
    putU32(out, uint32_t(s.height));
    putU16(out, 1);
    putU16(out, s.bitCount);
    putU32(out, s.compression);
    putU32(out, uint32_t(s.pixels.size()));
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, uint32_t(s.palette.size()));
    putU32(out, 0);
    for (uint32_t m : s.masks) putU32(out, m);
    for (uint32_t c : s.palette) putU32(out, c);
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    return out;
}

// A small picture with distinct pixels, for round trips.
inline sk::TskBitmap pattern(int w, int h, uint32_t seed = 1) {
    sk::TskBitmap b;
    b.width = w;
    b.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.pixels.push_back(0xFF000000u | ((uint32_t(x * 37 + y * 11) * seed) & 0xFFFFFF));
    return b;
}

inline void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::filesystem::path scratchFolder(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / ("tessaly-skin-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace skintest
