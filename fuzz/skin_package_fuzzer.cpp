// Package bytes in, a skin (or an error) out: the package reader, the BMP
// decoder behind it, the description parser and every entry class must
// neither crash nor read out of bounds nor allocate without bound.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtl/Exception.h"
#include "skin/skPackage.h"
#include "skin/skSkinData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The same bytes as a zlib stream, for the inflater.
    try {
        (void)sk::inflatePackage(data, size);
    } catch (const rtl::Exception&) {
    }
    sk::TskCompressedStoredSkin stored;
    stored.setCompressedData(sk::deflatePackage(std::vector<uint8_t>(data, data + size)));
    sk::TskSkinData skin;
    try {
        skin.ApplyStoredSkin(stored);
    } catch (const rtl::Exception&) {
        return skin.Empty() ? 0 : 1;  // a failed apply must leave no skin
    }
    size_t sum = 0;
    for (const auto& entry : skin.ControlList()) sum += size_t(skin.FindControlEntry(entry->IDName) + 1);
    for (const auto& picture : skin.ActivePictures) sum += picture.pixels.size();
    return sum == size_t(-1) ? 1 : 0;
}
