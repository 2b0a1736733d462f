#include "crashreport/ThrowHook.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

namespace crashreport {

namespace {

using ThrowEntry = void (*)(void*, void*, void (*)(void*));

std::atomic<ThrowEntry> g_runtimeThrow{nullptr};
std::atomic<bool> g_capture{false};

constexpr unsigned kRingSize = 4;

struct ThrowRing {
    TStackSnapshot snapshots[kRingSize];
    const void* objects[kRingSize] = {};
    uintptr_t sites[kRingSize] = {};
    unsigned next = 0;
};

thread_local std::unique_ptr<ThrowRing> t_ring;

ThrowEntry runtimeThrow() {
    ThrowEntry entry = g_runtimeThrow.load(std::memory_order_acquire);
    if (!entry) {
        entry = reinterpret_cast<ThrowEntry>(dlsym(RTLD_NEXT, "__cxa_throw"));
        g_runtimeThrow.store(entry, std::memory_order_release);
    }
    return entry;
}

__attribute__((noinline)) void recordThrow(const void* object, uintptr_t site) {
    if (!t_ring) t_ring.reset(new (std::nothrow) ThrowRing);
    ThrowRing* ring = t_ring.get();
    if (!ring) return;
    const unsigned slot = ring->next++ % kRingSize;
    ring->objects[slot] = object;
    ring->sites[slot] = site;
    captureHere(ring->snapshots[slot]);
}

}  // namespace

void setThrowCapture(bool on) {
    runtimeThrow();
    g_capture.store(on, std::memory_order_release);
}

bool throwCaptureOn() { return g_capture.load(std::memory_order_relaxed); }

TThrowRecord findThrowRecord(const void* object) {
    ThrowRing* ring = t_ring.get();
    if (!ring || !object) return {};
    for (unsigned i = 0; i < kRingSize; ++i) {
        const unsigned slot = (ring->next - 1 - i) % kRingSize;
        if (ring->objects[slot] == object && ring->snapshots[slot].valid)
            return {&ring->snapshots[slot], ring->sites[slot]};
    }
    return {};
}

const void* exceptionObjectOf(const std::exception_ptr& error) {
    // The runtime's exception_ptr holds just the thrown object's address.
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    const void* object = nullptr;
    std::memcpy(&object, static_cast<const void*>(&error), sizeof object);
    return object;
}

}  // namespace crashreport

// The runtime's throw entry, for every throw of this program and its libraries.
// (The type is the thrown std::type_info; the compiler's own declaration names it void*.)
extern "C" [[noreturn]] void __cxa_throw(void* object, void* type, void (*destructor)(void*)) {
    if (crashreport::throwCaptureOn())
        crashreport::recordThrow(object, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
    crashreport::runtimeThrow()(object, type, destructor);
    __builtin_unreachable();
}
