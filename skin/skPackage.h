#pragma once
// The skin package (the inflated data) and its zlib wrapping: reading for
// the skin data, writing for the packing tool. No shared state.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "skin/skBitmap.h"
#include "skin/skFormat.h"

namespace sk {

struct TskSkinPackage {
    int32_t version = kPackageVersionUnknown;
    std::optional<TskBitmap> picture, inactivePicture, mask;  // absent: the slot held none
    std::vector<TskBitmap> activePictures;
    std::string description;
    static constexpr int32_t kPackageVersionUnknown = 0;
};

// Inflates a zlib stream in 4,096-byte steps. Raises ESkinDecompressionError
// on corrupt or cut-short data and when the result would pass
// kMaxInflatedPackageSize.
std::vector<uint8_t> inflatePackage(const uint8_t* data, size_t size);
// Deflates at the highest level, with zlib header and trailer.
std::vector<uint8_t> deflatePackage(const std::vector<uint8_t>& data);

// Reads an inflated package. A version above kMaxPackageVersion returns with
// only the version set. Raises ESkinPackageError (items cut short, counts
// beyond the limits) or EBitmapError (a picture that is no sound BMP).
TskSkinPackage readPackage(const uint8_t* data, size_t size);

// The package bytes for version 3: slots (byte 1 for a missing picture, else
// 0 and the BMP file image), the count and the active pictures, the text.
std::vector<uint8_t> buildPackage(const std::vector<uint8_t>* slots[3], const std::vector<std::vector<uint8_t>>& active,
                                  const std::string& description);

// A compressed skin file: container version, N, then the N bytes.
std::vector<uint8_t> buildContainer(const std::vector<uint8_t>& compressed, int32_t version = 3);

// Writes a package from a description file and the BMP files its PICTURES
// section names (relative to the description's folder), deflated and wrapped
// in the container. Raises ESkinPackageError when a required section is
// missing or a picture cannot be read.
std::vector<uint8_t> packSkinDescription(const std::string& descriptionPath);

}  // namespace sk
