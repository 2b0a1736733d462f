// BMP bytes in, pixels out: every size and offset is checked against the bytes given.
#include <cstddef>
#include <cstdint>

#include "rtl/Exception.h"
#include "skin/skBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const sk::TskBitmap b = sk::decodeBmp(data, size);
        if (b.pixels.size() != size_t(b.width) * size_t(b.height)) __builtin_trap();
        return b.pixels.empty() ? 0 : int(b.pixels.back() & 0);
    } catch (const rtl::Exception&) {
        return 0;
    }
}
