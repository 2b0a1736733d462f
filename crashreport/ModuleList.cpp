#include "crashreport/ModuleList.h"

#include <link.h>

#include <algorithm>
#include <cstring>

namespace crashreport {

namespace {

void copyPath(char (&target)[512], std::string_view path) {
    const size_t n = std::min(path.size(), sizeof target - 1);
    std::memcpy(target, path.data(), n);
    target[n] = '\0';
}

struct TakeState {
    TModuleList* list;
    std::string_view mainPath;
};

int takeModule(dl_phdr_info* info, size_t, void* data) {
    auto* state = static_cast<TakeState*>(data);
    TModuleList& list = *state->list;
    if (list.count == TModuleList::kCapacity) return 1;
    uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD) continue;
        low = std::min<uintptr_t>(low, info->dlpi_addr + header.p_vaddr);
        high = std::max<uintptr_t>(high, info->dlpi_addr + header.p_vaddr + header.p_memsz);
    }
    if (low >= high) return 0;
    const bool isMain = list.count == 0 && (!info->dlpi_name || !info->dlpi_name[0]);
    const std::string_view path = isMain ? state->mainPath : std::string_view(info->dlpi_name ? info->dlpi_name : "");
    if (path.empty()) return 0;  // the kernel's vDSO and similar unnamed objects
    TModuleInfo& module = list.modules[list.count++];
    module.start = low;
    module.bias = info->dlpi_addr;
    module.size = high - low;
    copyPath(module.path, path);
    return 0;
}

}  // namespace

std::string_view TModuleInfo::pathView() const { return {path, std::strlen(path)}; }

std::string_view TModuleInfo::name() const {
    const std::string_view p = pathView();
    const size_t slash = p.rfind('/');
    return slash == std::string_view::npos ? p : p.substr(slash + 1);
}

std::string_view TModuleInfo::version() const {
    const std::string_view n = name();
    const size_t so = n.find(".so.");
    if (so == std::string_view::npos) return {};
    return n.substr(so + 4);
}

void TModuleList::take(std::string_view mainPath) {
    count = 0;
    TakeState state{this, mainPath};
    dl_iterate_phdr(takeModule, &state);
}

const TModuleInfo* TModuleList::find(uintptr_t address) const {
    for (size_t i = 0; i < count; ++i)
        if (modules[i].contains(address)) return &modules[i];
    return nullptr;
}

}  // namespace crashreport
