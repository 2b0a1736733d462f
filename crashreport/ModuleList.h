#pragma once
// The modules loaded into the process (dl_iterate_phdr), copied into fixed
// storage so that the fatal-signal path can read a list taken earlier.
// take() allocates nothing but may not run inside a signal handler.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace crashreport {

struct TModuleInfo {
    uintptr_t start = 0;  // lowest mapped address (the module's handle)
    uintptr_t bias = 0;   // added to the file's link-time addresses
    uint64_t size = 0;    // from the lowest to the highest loaded byte
    char path[512] = {};
    std::string_view pathView() const;
    std::string_view name() const;     // file name without folder
    std::string_view version() const;  // from the file name: "libQt6Core.so.6.4.2" -> "6.4.2"
    bool contains(uintptr_t address) const { return address >= start && address - start < size; }
};

struct TModuleList {
    static constexpr size_t kCapacity = 256;
    TModuleInfo modules[kCapacity];
    size_t count = 0;

    // Fills the list; the main program comes first, with mainPath as its path.
    void take(std::string_view mainPath);
    const TModuleInfo* find(uintptr_t address) const;
};

}  // namespace crashreport
