#include "browser/BrowserOptions.h"

#include <array>

namespace browser {

namespace {

constexpr std::array<uint32_t, kDownloadControlOptionCount> kDownloadControlBits{
    0x10,    0x20,    0x40,    0x80,     0x100,    0x200,      0x400,      0x800,      0x1000,    0x2000,
    0x4000,  0x8000,  0x10000, 0x20000,  0x40000,  0x10000000, 0x20000000, 0x40000000, 0x80000000,
};

template <typename Option, size_t Count, typename BitOf>
uint32_t sumOfBits(TOptionSet<Option> options, BitOf bitOf) {
    uint32_t value = 0;
    for (size_t i = 0; i < Count; ++i) {
        const auto member = static_cast<Option>(i);
        if (options.contains(member)) value += bitOf(member);
    }
    return value;
}

}  // namespace

uint32_t downloadControlBit(TDownloadControlOption member) {
    return kDownloadControlBits[static_cast<size_t>(member)];
}

// The first 15 members take 0x1 .. 0x4000; the platform has no flag 0x8000,
// so the rest start at 0x10000.
uint32_t userInterfaceBit(TUserInterfaceOption member) {
    const auto index = static_cast<unsigned>(member);
    return index < 15 ? 1u << index : 1u << (index + 1);
}

uint32_t downloadControlValue(TDownloadControlOptions options) {
    return sumOfBits<TDownloadControlOption, kDownloadControlOptionCount>(options, downloadControlBit);
}

uint32_t userInterfaceValue(TUserInterfaceOptions options) {
    return sumOfBits<TUserInterfaceOption, kUserInterfaceOptionCount>(options, userInterfaceBit);
}

}  // namespace browser
