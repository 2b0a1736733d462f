#include "skin/skPackage.h"

#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "rtl/RegularFile.h"
#include "skin/skDescription.h"
#include "skin/skFormat.h"

namespace sk {

namespace {

[[noreturn]] void packageFail(const std::string& what) { throw ESkinPackageError("Invalid skin package: " + what); }

// Reads the items of a package in order; every length is checked first.
class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t left() const { return m_size - m_at; }
    int32_t int32() {
        if (left() < 4) packageFail("cut short");
        const int32_t v = readI32(m_data + m_at);
        m_at += 4;
        return v;
    }
    uint8_t byte() {
        if (left() < 1) packageFail("cut short");
        return m_data[m_at++];
    }
    TskBitmap bitmap(int64_t& pixelBudget) {
        const uint32_t length = bmpFileSize(m_data + m_at, left());
        if (length < 14 || length > left()) packageFail("picture size field past the end");
        TskBitmap b = decodeBmp(m_data + m_at, length);
        m_at += length;
        pixelBudget -= int64_t(b.width) * b.height;
        if (pixelBudget < 0) packageFail("pictures too large");
        return b;
    }
    std::optional<TskBitmap> slot(int64_t& pixelBudget) {
        if (byte() != 0) return std::nullopt;
        return bitmap(pixelBudget);
    }
    std::string rest() { return std::string(reinterpret_cast<const char*>(m_data + m_at), left()); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

void putI32(std::vector<uint8_t>& out, int32_t v) {
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(u >> (8 * i)));
}

std::vector<uint8_t> readPictureFile(const std::filesystem::path& path) {
    rtl::TRegularFile file(path.string());
    if (!file.isOpen()) packageFail("cannot read picture " + path.string());
    const std::string bytes = file.readUpTo(size_t(kMaxPicturePixels) * 4 + 4096);
    std::vector<uint8_t> out(bytes.begin(), bytes.end());
    // Only sound pictures go in, with their size field telling their length.
    const TskBitmap check = decodeBmp(out.data(), out.size());
    (void)check;
    const uint32_t length = bmpFileSize(out.data(), out.size());
    if (length > out.size()) packageFail("picture " + path.string() + " is shorter than its size field");
    out.resize(length);
    return out;
}

}  // namespace

std::vector<uint8_t> inflatePackage(const uint8_t* data, size_t size) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw ESkinDecompressionError("Decompression error");
    std::vector<uint8_t> out;
    uint8_t chunk[kInflateChunk];
    int status = Z_OK;
    size_t offered = 0;
    // Each pass either consumes input, yields output, or ends the stream.
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0 && offered < size) {
            const size_t step = std::min<size_t>(size - offered, 1u << 30);
            z.next_in = const_cast<uint8_t*>(data + offered);
            z.avail_in = uInt(step);
            offered += step;
        }
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            inflateEnd(&z);
            throw ESkinDecompressionError(status == Z_BUF_ERROR ? "Decompression error: data cut short"
                                                                : "Decompression error");
        }
        const size_t produced = sizeof chunk - z.avail_out;
        if (out.size() + produced > kMaxInflatedPackageSize) {
            inflateEnd(&z);
            throw ESkinDecompressionError("Decompression error: package too large");
        }
        out.insert(out.end(), chunk, chunk + produced);
        if (status == Z_OK && produced == 0 && z.avail_in == 0 && offered == size) {
            inflateEnd(&z);
            throw ESkinDecompressionError("Decompression error: data cut short");
        }
    }
    inflateEnd(&z);
    return out;
}

std::vector<uint8_t> deflatePackage(const std::vector<uint8_t>& data) {
    uLongf length = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(length);
    if (compress2(out.data(), &length, data.data(), uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw ESkinError("Compression error");
    out.resize(length);
    return out;
}

TskSkinPackage readPackage(const uint8_t* data, size_t size) {
    Cursor in(data, size);
    TskSkinPackage p;
    p.version = in.int32();
    if (p.version > kMaxPackageVersion) return p;
    int64_t budget = kMaxTotalPicturePixels;
    p.picture = in.slot(budget);
    p.inactivePicture = in.slot(budget);
    p.mask = in.slot(budget);
    if (p.version == 2)
        for (int i = 0; i < kExtraSlotsOfVersion2; ++i) (void)in.slot(budget);
    const int32_t count = in.int32();
    if (count < 0 || count > kMaxPictureCount) packageFail("picture count " + std::to_string(count));
    p.activePictures.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) p.activePictures.push_back(in.bitmap(budget));
    p.description = in.rest();
    return p;
}

std::vector<uint8_t> buildPackage(const std::vector<uint8_t>* slots[3], const std::vector<std::vector<uint8_t>>& active,
                                  const std::string& description) {
    std::vector<uint8_t> out;
    putI32(out, kWrittenPackageVersion);
    for (int i = 0; i < kFramePictureSlots; ++i) {
        out.push_back(slots[i] ? 0 : 1);
        if (slots[i]) out.insert(out.end(), slots[i]->begin(), slots[i]->end());
    }
    putI32(out, int32_t(active.size()));
    for (const auto& picture : active) out.insert(out.end(), picture.begin(), picture.end());
    out.insert(out.end(), description.begin(), description.end());
    return out;
}

std::vector<uint8_t> buildContainer(const std::vector<uint8_t>& compressed, int32_t version) {
    std::vector<uint8_t> out;
    putI32(out, version);
    putI32(out, int32_t(compressed.size()));
    out.insert(out.end(), compressed.begin(), compressed.end());
    return out;
}

std::vector<uint8_t> packSkinDescription(const std::string& descriptionPath) {
    rtl::TRegularFile file(descriptionPath);
    if (!file.isOpen()) packageFail("cannot read description " + descriptionPath);
    const std::string text = file.readUpTo(kMaxInflatedPackageSize);
    const TskIniFile ini = TskIniFile::parse(text);
    for (const char* section : {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"})
        if (!ini.hasSection(section)) packageFail(std::string("the description has no section ") + section);
    const std::filesystem::path folder = std::filesystem::path(descriptionPath).parent_path();
    std::vector<uint8_t> frame[3];
    const std::vector<uint8_t>* slots[3] = {nullptr, nullptr, nullptr};
    const char* frameKeys[3] = {"picture", "inactivepicture", "mask"};
    for (int i = 0; i < 3; ++i) {
        const std::string name = ini.readString("PICTURES", frameKeys[i]);
        if (name.empty()) continue;
        frame[i] = readPictureFile(folder / name);
        slots[i] = &frame[i];
    }
    const int count = ini.readInteger("PICTURES", "activepicturescount", 0);
    if (count < 0 || count > kMaxPictureCount) packageFail("activepicturescount " + std::to_string(count));
    std::vector<std::vector<uint8_t>> active;
    for (int i = 0; i < count; ++i) {
        const std::string name = ini.readString("PICTURES", std::to_string(i));
        if (name.empty()) packageFail("PICTURES names no file for picture " + std::to_string(i));
        active.push_back(readPictureFile(folder / name));
    }
    return buildContainer(deflatePackage(buildPackage(slots, active, text)));
}

}  // namespace sk
