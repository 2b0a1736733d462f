#include "skin/skBitmap.h"

#include <bit>
#include <climits>
#include <cstring>

#include "skin/skFormat.h"

namespace sk {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxInfoHeaderSize = 124;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

enum Compression : uint32_t { kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

[[noreturn]] void fail(const char* what) { throw EBitmapError(std::string("Invalid bitmap: ") + what); }

// One colour channel of a bit-field pixel.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m = 0) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        bits = std::popcount(m);
        if (bits > 8) {  // keep the top 8 bits
            shift += bits - 8;
            bits = 8;
        }
    }
    uint32_t take(uint32_t v, uint32_t absent) const {
        if (bits == 0) return absent;
        const uint32_t maximum = (1u << bits) - 1;
        const uint32_t x = ((v & mask) >> shift) & maximum;
        return bits == 8 ? x : (x * 255 + maximum / 2) / maximum;
    }
};

struct Header {
    int width = 0;
    int height = 0;  // rows, always positive
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = kRGB;
    Channel red, green, blue, alpha;
    std::vector<uint32_t> palette;
    size_t pixelOffset = 0;
};

void readMasks(const uint8_t* data, size_t size, uint32_t infoSize, Header& h, size_t& paletteOffset) {
    const bool withAlpha = h.compression == kAlphaBitFields;
    size_t at = kFileHeaderSize + kInfoHeaderSize;
    if (infoSize == kInfoHeaderSize) {  // the masks follow the header
        const size_t count = withAlpha ? 4 : 3;
        if (at + 4 * count > size) fail("bit fields cut short");
        paletteOffset = at + 4 * count;
    } else if (infoSize < 52) {
        fail("header too short for bit fields");
    }
    h.red = Channel(readU32(data + at));
    h.green = Channel(readU32(data + at + 4));
    h.blue = Channel(readU32(data + at + 8));
    if ((withAlpha && infoSize == kInfoHeaderSize) || infoSize >= 56) h.alpha = Channel(readU32(data + at + 12));
}

void readPalette(const uint8_t* data, size_t size, size_t at, uint32_t used, bool core, Header& h) {
    if (h.bitCount > 8) return;
    const uint32_t full = 1u << h.bitCount;
    const uint32_t count = (used == 0 || used > full) ? full : used;
    const size_t entry = core ? 3 : 4;
    if (at > size || (size - at) / entry < count) fail("colour table cut short");
    h.palette.resize(full, kOpaqueBlack);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = data + at + i * entry;
        h.palette[i] = kOpaqueBlack | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
}

Header readHeader(const uint8_t* data, size_t size) {
    const uint32_t fileSize = bmpFileSize(data, size);
    if (fileSize < size) size = fileSize;
    if (size < kFileHeaderSize + 4) fail("header cut short");
    Header h;
    const uint32_t infoSize = readU32(data + kFileHeaderSize);
    if (infoSize != kCoreHeaderSize && (infoSize < kInfoHeaderSize || infoSize > kMaxInfoHeaderSize))
        fail("unknown header size");
    if (kFileHeaderSize + infoSize > size) fail("header cut short");
    const uint8_t* info = data + kFileHeaderSize;
    int64_t width, height;
    uint32_t used = 0;
    if (infoSize == kCoreHeaderSize) {
        width = readU16(info + 4);
        height = readU16(info + 6);
        h.bitCount = readU16(info + 10);
    } else {
        width = readI32(info + 4);
        height = readI32(info + 8);
        h.bitCount = readU16(info + 14);
        h.compression = readU32(info + 16);
        used = readU32(info + 32);
    }
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0) fail("empty picture");
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        fail("picture too large");
    h.width = int(width);
    h.height = int(height);
    switch (h.bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: fail("unsupported bit count");
    }
    const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    if (h.compression == kRLE8 && h.bitCount != 8) fail("RLE8 needs 8 bits");
    if (h.compression == kRLE4 && h.bitCount != 4) fail("RLE4 needs 4 bits");
    if (fields && h.bitCount != 16 && h.bitCount != 32) fail("bit fields need 16 or 32 bits");
    if (h.compression != kRGB && h.compression != kRLE8 && h.compression != kRLE4 && !fields)
        fail("unsupported compression");
    if (h.topDown && (h.compression == kRLE8 || h.compression == kRLE4)) fail("top-down RLE");
    if (infoSize == kCoreHeaderSize && h.bitCount > 8 && h.bitCount != 24) fail("unsupported bit count");

    size_t paletteOffset = kFileHeaderSize + infoSize;
    if (fields) {
        readMasks(data, size, infoSize, h, paletteOffset);
    } else if (h.bitCount == 16) {
        h.red = Channel(0x7C00);
        h.green = Channel(0x03E0);
        h.blue = Channel(0x001F);
    } else if (h.bitCount == 32) {
        h.red = Channel(0xFF0000);
        h.green = Channel(0xFF00);
        h.blue = Channel(0xFF);
    }
    readPalette(data, size, paletteOffset, used, infoSize == kCoreHeaderSize, h);
    h.pixelOffset = readU32(data + 10);
    if (h.pixelOffset >= size) fail("pixel data offset past the end");
    return h;
}

uint32_t fromFields(const Header& h, uint32_t v) {
    return h.alpha.take(v, 255) << 24 | h.red.take(v, 0) << 16 | h.green.take(v, 0) << 8 | h.blue.take(v, 0);
}

void decodeRows(const uint8_t* data, size_t size, const Header& h, TskBitmap& out) {
    const uint64_t stride = ((uint64_t(h.width) * h.bitCount + 31) / 32) * 4;
    if ((size - h.pixelOffset) / stride < uint64_t(h.height)) fail("pixel data cut short");
    const uint32_t paletteMask = (1u << (h.bitCount <= 8 ? h.bitCount : 0)) - 1;
    for (int row = 0; row < h.height; ++row) {
        const uint8_t* src = data + h.pixelOffset + stride * row;
        const int y = h.topDown ? row : h.height - 1 - row;
        uint32_t* dst = out.pixels.data() + size_t(y) * h.width;
        for (int x = 0; x < h.width; ++x) {
            switch (h.bitCount) {
                case 1: case 4: case 8: {
                    const int bit = x * h.bitCount;
                    const uint32_t index = (src[bit / 8] >> (8 - h.bitCount - bit % 8)) & paletteMask;
                    dst[x] = h.palette[index];
                    break;
                }
                case 16: dst[x] = fromFields(h, readU16(src + 2 * x)); break;
                case 24: {
                    const uint8_t* p = src + 3 * x;
                    dst[x] = kOpaqueBlack | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                    break;
                }
                default: dst[x] = fromFields(h, readU32(src + 4 * x)); break;
            }
        }
    }
}

// Run-length data: each code takes at least two bytes, so the loop ends with the input.
void decodeRle(const uint8_t* data, size_t size, const Header& h, TskBitmap& out) {
    const bool four = h.compression == kRLE4;
    size_t at = h.pixelOffset;
    int x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint32_t index) {
        if (x < h.width && y < h.height) out.pixels[size_t(h.height - 1 - y) * h.width + x] = h.palette[index];
        ++x;
    };
    while (y < h.height) {
        if (size - at < 2) {
            if (at == size) return;  // no end-of-bitmap code; what was drawn stays
            fail("run-length data cut short");
        }
        const uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < h.width; ++i) put(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (size - at < 2) fail("run-length delta cut short");
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {
            const size_t bytes = four ? (value + 1) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t(1);
            if (size - at < padded) fail("run-length data cut short");
            for (int i = 0; i < value && x < h.width; ++i)
                put(four ? (i % 2 == 0 ? data[at + i / 2] >> 4 : data[at + i / 2] & 15) : data[at + i]);
            at += padded;
        }
    }
}

void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void putU32(std::vector<uint8_t>& out, uint32_t v) {
    putU16(out, uint16_t(v));
    putU16(out, uint16_t(v >> 16));
}

}  // namespace

uint32_t bmpFileSize(const uint8_t* data, size_t size) {
    if (size < kFileHeaderSize) fail("file header cut short");
    if (data[0] != 'B' || data[1] != 'M') fail("no BM signature");
    return readU32(data + 2);
}

TskBitmap decodeBmp(const uint8_t* data, size_t size) {
    const Header h = readHeader(data, size);
    const uint32_t fileSize = bmpFileSize(data, size);
    if (fileSize < size) size = fileSize;
    TskBitmap out;
    out.width = h.width;
    out.height = h.height;
    out.pixels.assign(size_t(h.width) * h.height, kOpaqueBlack);
    if (h.compression == kRLE8 || h.compression == kRLE4)
        decodeRle(data, size, h, out);
    else
        decodeRows(data, size, h, out);
    return out;
}

std::vector<uint8_t> encodeBmp(const TskBitmap& bitmap, bool withAlpha) {
    const int bytesPerPixel = withAlpha ? 4 : 3;
    const uint32_t stride = (uint32_t(bitmap.width) * bytesPerPixel + 3) & ~3u;
    const uint32_t headerSize = withAlpha ? 56 : kInfoHeaderSize;
    const uint32_t offset = uint32_t(kFileHeaderSize) + headerSize;
    const uint32_t total = offset + stride * uint32_t(bitmap.height);
    std::vector<uint8_t> out;
    out.reserve(total);
    out.push_back('B');
    out.push_back('M');
    putU32(out, total);
    putU32(out, 0);
    putU32(out, offset);
    putU32(out, headerSize);
    putU32(out, uint32_t(bitmap.width));
    putU32(out, uint32_t(bitmap.height));
    putU16(out, 1);
    putU16(out, uint16_t(bytesPerPixel * 8));
    putU32(out, withAlpha ? kBitFields : kRGB);
    putU32(out, stride * uint32_t(bitmap.height));
    putU32(out, 2835);
    putU32(out, 2835);
    putU32(out, 0);
    putU32(out, 0);
    if (withAlpha) {
        putU32(out, 0x00FF0000);
        putU32(out, 0x0000FF00);
        putU32(out, 0x000000FF);
        putU32(out, 0xFF000000);
    }
    for (int row = bitmap.height - 1; row >= 0; --row) {
        const size_t start = out.size();
        for (int x = 0; x < bitmap.width; ++x) {
            const uint32_t p = bitmap.pixel(x, row);
            out.push_back(uint8_t(p));
            out.push_back(uint8_t(p >> 8));
            out.push_back(uint8_t(p >> 16));
            if (withAlpha) out.push_back(uint8_t(p >> 24));
        }
        out.resize(start + stride, 0);
    }
    return out;
}

}  // namespace sk
