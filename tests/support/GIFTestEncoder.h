#pragma once
// A small GIF writer for tests and benchmarks, independent of the decoder:
// its own LZW encoder (clear when the table fills, a deferred clear, or a
// clear every n codes), interlaced row order, local tables, graphic control,
// comment and looping extensions, and raw bytes for damaged files.

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace testgif {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

enum class ClearPolicy {
    AtFull,    // clear code as soon as entry 4095 is defined
    Deferred,  // keep coding with the full table for deferCodes codes, then clear
    Never,     // a full table is kept to the end
};

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels;  // width * height indices, rows top to bottom
    std::vector<Rgb> localTable;  // written when not empty (size a power of two, 2..256)
    bool interlaced = false;
    bool control = true;          // write a graphic control extension
    int delay = 0;                // hundredths
    int disposal = 0;
    int transparent = -1;         // index, -1 for none
    int codeSize = 0;             // 0: from the table size (at least 2)
    ClearPolicy clear = ClearPolicy::AtFull;
    int deferCodes = 0;
    int clearEvery = 0;           // > 0: a clear code after that many codes
    int descriptorWidth = -1;     // >= 0: written instead of width (e.g. 0)
    int descriptorHeight = -1;
    std::string rawData;          // when set: the sub-block bytes after the code size, as they stand
};

struct Gif {
    std::string signature = "GIF89a";
    int width = 0, height = 0;
    std::vector<Rgb> globalTable;
    int background = 0;
    int loopCount = -1;  // >= 0: write a looping application extension
    std::string loopId = "NETSCAPE2.0";
    std::vector<std::string> comments;
    std::vector<Frame> frames;
    bool trailer = true;
};

// LSB-first code packing.
class BitWriter {
public:
    void put(uint32_t code, int width) {
        m_acc |= static_cast<uint64_t>(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_out.push_back(static_cast<char>(m_acc & 0xFF));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    std::string finish() {
        if (m_bits > 0) m_out.push_back(static_cast<char>(m_acc & 0xFF));
        m_acc = 0;
        m_bits = 0;
        return m_out;
    }

private:
    std::string m_out;
    uint64_t m_acc = 0;
    int m_bits = 0;
};

inline int bitLength(uint32_t value) {
    int n = 0;
    while (value) {
        ++n;
        value >>= 1;
    }
    return n;
}

// The compressed stream of pixels (no sub-blocks).
inline std::string lzwEncode(const std::vector<uint8_t>& pixels, int codeSize, ClearPolicy policy = ClearPolicy::AtFull,
                             int deferCodes = 0, int clearEvery = 0) {
    if (codeSize < 1 || codeSize > 11) return std::string(4, '\x55');  // no valid stream exists: filler bytes
    const uint32_t clear = 1u << codeSize, end = clear + 1, first = clear + 2;
    BitWriter bits;
    uint32_t next = first;
    std::unordered_map<uint32_t, uint32_t> table;
    int codesSinceClear = 0, codesSinceFull = 0;
    auto width = [&] {
        const int w = bitLength(next - 1);
        return w < codeSize + 1 ? codeSize + 1 : (w > 12 ? 12 : w);
    };
    auto put = [&](uint32_t code) {
        bits.put(code, width());
        ++codesSinceClear;
    };
    auto restart = [&] {
        put(clear);
        table.clear();
        next = first;
        codesSinceClear = 0;
        codesSinceFull = 0;
    };
    restart();
    if (!pixels.empty()) {
        uint32_t prefix = pixels[0];
        for (size_t i = 1; i < pixels.size(); ++i) {
            const uint32_t key = (prefix << 8) | pixels[i];
            const auto found = table.find(key);
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            put(prefix);
            if (next < 4096) table.emplace(key, next++);
            else ++codesSinceFull;
            prefix = pixels[i];
            const bool full = next == 4096;
            if ((full && policy == ClearPolicy::AtFull) ||
                (full && policy == ClearPolicy::Deferred && codesSinceFull >= deferCodes) ||
                (clearEvery > 0 && codesSinceClear >= clearEvery))
                restart();
        }
        put(prefix);
    }
    put(end);
    return bits.finish();
}

// data cut into sub-blocks of at most 255 bytes, with the terminator.
inline std::string subBlocks(const std::string& data) {
    std::string out;
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back(static_cast<char>(n));
        out.append(data, i, n);
    }
    out.push_back('\0');
    return out;
}

inline void putWord(std::string& out, int value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline int tableBits(size_t entries) {
    int n = 0;
    while ((size_t(2) << n) < entries) ++n;
    return n;
}

inline void putTable(std::string& out, const std::vector<Rgb>& table) {
    const size_t entries = size_t(2) << tableBits(table.size());
    for (size_t i = 0; i < entries; ++i) {
        const Rgb c = i < table.size() ? table[i] : Rgb{};
        out.push_back(static_cast<char>(c.r));
        out.push_back(static_cast<char>(c.g));
        out.push_back(static_cast<char>(c.b));
    }
}

// Rows in the order an interlaced frame stores them.
inline std::vector<uint8_t> interlaceRows(const std::vector<uint8_t>& pixels, int width, int height) {
    std::vector<uint8_t> out;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            out.insert(out.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
    return out;
}

inline std::string frameBytes(const Frame& f, size_t globalEntries) {
    std::string out;
    if (f.control) {
        out += "\x21\xF9\x04";
        const int packed = ((f.disposal & 7) << 2) | (f.transparent >= 0 ? 1 : 0);
        out.push_back(static_cast<char>(packed));
        putWord(out, f.delay);
        out.push_back(static_cast<char>(f.transparent >= 0 ? f.transparent : 0));
        out.push_back('\0');
    }
    out.push_back('\x2C');
    putWord(out, f.left);
    putWord(out, f.top);
    putWord(out, f.descriptorWidth >= 0 ? f.descriptorWidth : f.width);
    putWord(out, f.descriptorHeight >= 0 ? f.descriptorHeight : f.height);
    int packed = f.interlaced ? 0x40 : 0;
    if (!f.localTable.empty()) packed |= 0x80 | tableBits(f.localTable.size());
    out.push_back(static_cast<char>(packed));
    if (!f.localTable.empty()) putTable(out, f.localTable);
    const size_t entries = f.localTable.empty() ? globalEntries : (size_t(2) << tableBits(f.localTable.size()));
    int codeSize = f.codeSize;
    if (codeSize == 0) codeSize = std::max(2, tableBits(entries) + 1);
    out.push_back(static_cast<char>(codeSize));
    if (!f.rawData.empty()) {
        out += f.rawData;
        return out;
    }
    const std::vector<uint8_t> rows = f.interlaced ? interlaceRows(f.pixels, f.width, f.height) : f.pixels;
    out += subBlocks(lzwEncode(rows, codeSize, f.clear, f.deferCodes, f.clearEvery));
    return out;
}

inline std::string encode(const Gif& gif) {
    std::string out = gif.signature;
    putWord(out, gif.width);
    putWord(out, gif.height);
    out.push_back(static_cast<char>(gif.globalTable.empty() ? 0 : (0x80 | 0x70 | tableBits(gif.globalTable.size()))));
    out.push_back(static_cast<char>(gif.background));
    out.push_back('\0');
    if (!gif.globalTable.empty()) putTable(out, gif.globalTable);
    if (gif.loopCount >= 0) {
        out += "\x21\xFF\x0B" + gif.loopId + "\x03\x01";
        putWord(out, gif.loopCount);
        out.push_back('\0');
    }
    for (const std::string& comment : gif.comments) out += "\x21\xFE" + subBlocks(comment);
    const size_t globalEntries = gif.globalTable.empty() ? 0 : (size_t(2) << tableBits(gif.globalTable.size()));
    for (const Frame& f : gif.frames) out += frameBytes(f, globalEntries);
    if (gif.trailer) out.push_back('\x3B');
    return out;
}

// A palette of n distinct colours.
inline std::vector<Rgb> palette(int n) {
    std::vector<Rgb> table;
    for (int i = 0; i < n; ++i)
        table.push_back({static_cast<uint8_t>(i * 37 + 11), static_cast<uint8_t>(i * 91 + 3), static_cast<uint8_t>(255 - i)});
    return table;
}

}  // namespace testgif
