#include "skin/skDefaultSkin.h"

#include "skin/skFormat.h"

namespace sk {

extern const unsigned char kModernSkn[];
extern const size_t kModernSkn_size;

const TskCompressedStoredSkin& ModernStoredSkin() {
    static const TskCompressedStoredSkin stored = [] {
        TskCompressedStoredSkin s;
        s.FileName = s.CompressedFileName = "Modern.skn";
        // The built file is a whole container; the stored skin keeps the zlib stream alone.
        s.setCompressedData(std::vector<uint8_t>(kModernSkn + kContainerHeaderSize, kModernSkn + kModernSkn_size));
        return s;
    }();
    return stored;
}

}  // namespace sk
