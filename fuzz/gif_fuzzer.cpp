// GIF bytes in, every composed frame out: the decoder and the composer must
// neither crash nor read or write out of bounds on any input.
#include <cstddef>
#include <cstdint>

#include "banner/GIFComposer.h"
#include "banner/GIFImage.h"
#include "rtl/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    banner::TGIFImage image;
    try {
        image.loadFromBytes(data, size);
    } catch (const rtl::Exception&) {
        return 0;
    }
    // Screens of any size are decoded; composing is kept to modest ones so runs stay quick.
    if (uint64_t(image.width()) * image.height() > 1024 * 1024) return 0;
    banner::TGIFComposer composer(image);
    uint32_t sum = 0;
    for (size_t i = 0; i < image.frames().size(); ++i) {
        const auto& bitmap = composer.compose(i);
        if (!bitmap.empty()) sum += bitmap.front() + bitmap.back();
    }
    if (image.frames().size() > 1) sum += composer.compose(0).size();  // a jump back rebuilds
    return sum == 0xFFFFFFFF ? 1 : 0;
}
