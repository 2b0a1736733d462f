#pragma once
// Layout of the compressed skin file and the skin package, and the limits
// that keep a hostile file from making the reader allocate without bound.

#include <cstddef>
#include <cstdint>

#include "rtl/Exception.h"

namespace sk {

// Container: version (int32), N (int32), N bytes of zlib stream.
constexpr int32_t kMaxContainerVersion = 3;
constexpr int kContainerHeaderSize = 8;
// Package: version (int32); version 3 is what the writer makes.
constexpr int32_t kMaxPackageVersion = 3;
constexpr int32_t kWrittenPackageVersion = 3;
constexpr int kFramePictureSlots = 3;
constexpr int kExtraSlotsOfVersion2 = 2;
constexpr size_t kInflateChunk = 4096;

// Limits.
constexpr int64_t kMaxCompressedSize = 64 * 1024 * 1024;       // bytes kept by a stored skin
constexpr size_t kMaxInflatedPackageSize = 128 * 1024 * 1024;  // inflated package
constexpr int32_t kMaxPictureCount = 256;                      // active pictures
constexpr int32_t kMaxPictureSide = 16384;                     // pixels, either side
constexpr int64_t kMaxPicturePixels = 16 * 1024 * 1024;        // one picture
constexpr int64_t kMaxTotalPicturePixels = 64 * 1024 * 1024;   // all pictures of a package
constexpr int32_t kMaxEntryCount = 4096;                       // SKINOBJECTS / SKINCONTROLS
constexpr uint32_t kMaxCoordinate = 1000000;                   // a point's or rectangle's part

RTL_DECLARE_EXCEPTION(ESkinError, rtl::Exception);
RTL_DECLARE_EXCEPTION(ESkinDecompressionError, ESkinError);
RTL_DECLARE_EXCEPTION(ESkinPackageError, ESkinError);
RTL_DECLARE_EXCEPTION(EBitmapError, ESkinError);

// Little-endian reads; REQUIRES: 4 (or 2) bytes at p.
inline uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline int32_t readI32(const uint8_t* p) { return static_cast<int32_t>(readU32(p)); }

}  // namespace sk
