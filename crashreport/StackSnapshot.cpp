#include "crashreport/StackSnapshot.h"

#include <pthread.h>
#include <ucontext.h>

#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define CRASHREPORT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CRASHREPORT_ASAN 1
#endif
#endif

// Stores the general registers in TRegister order; RSP and RIP are the caller's
// values after this call returns.
asm(R"(
    .text
    .globl crashreport_capture_registers
    .type crashreport_capture_registers, @function
crashreport_capture_registers:
    .cfi_startproc
    movq %rax, 0(%rdi)
    movq %rbx, 8(%rdi)
    movq %rcx, 16(%rdi)
    movq %rdx, 24(%rdi)
    movq %rsi, 32(%rdi)
    movq %rdi, 40(%rdi)
    movq %rbp, 48(%rdi)
    leaq 8(%rsp), %rax
    movq %rax, 56(%rdi)
    movq %r8, 64(%rdi)
    movq %r9, 72(%rdi)
    movq %r10, 80(%rdi)
    movq %r11, 88(%rdi)
    movq %r12, 96(%rdi)
    movq %r13, 104(%rdi)
    movq %r14, 112(%rdi)
    movq %r15, 120(%rdi)
    movq (%rsp), %rax
    movq %rax, 128(%rdi)
    pushfq
    .cfi_adjust_cfa_offset 8
    popq %rax
    .cfi_adjust_cfa_offset -8
    movq %rax, 136(%rdi)
    ret
    .cfi_endproc
    .size crashreport_capture_registers, .-crashreport_capture_registers
)");

namespace crashreport {

static_assert(sizeof(void*) == 8, "the snapshot layout is x86-64");

bool TStackSnapshot::readWord(uintptr_t address, uint64_t& value) const {
    if (!valid || address < stackAddress || address - stackAddress + 8 > stackSize) return false;
    std::memcpy(&value, stack + (address - stackAddress), 8);
    return true;
}

uintptr_t currentThreadStackTop() {
    thread_local uintptr_t top = 0;
    if (top == 0) {
        pthread_attr_t attributes;
        if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
            void* base = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attributes, &base, &size) == 0)
                top = reinterpret_cast<uintptr_t>(base) + size;
            pthread_attr_destroy(&attributes);
        }
    }
    return top;
}

// The stack holds the sanitizer's poisoned red zones; this copy reads them
// word by word without instrumentation (volatile keeps it from becoming memcpy).
__attribute__((no_sanitize_address)) void copyStack(TStackSnapshot& snapshot, uintptr_t stackTop) {
    const uintptr_t from = snapshot.regs[rRSP] & ~uintptr_t{7};
    size_t size = 0;
    if (stackTop > from) size = stackTop - from;
    if (size > kSnapshotStackBytes) size = kSnapshotStackBytes;
    size &= ~size_t{7};
#if defined(CRASHREPORT_ASAN)
    const volatile uint64_t* source = reinterpret_cast<const volatile uint64_t*>(from);
    auto* target = reinterpret_cast<uint64_t*>(snapshot.stack);
    for (size_t i = 0; i < size / 8; ++i) target[i] = source[i];
#else
    std::memcpy(snapshot.stack, reinterpret_cast<const void*>(from), size);
#endif
    snapshot.stackAddress = from;
    snapshot.stackSize = size;
    snapshot.valid = true;
}

void registersFromSignalContext(const void* context, uint64_t (&regs)[kRegisterCount]) {
    const greg_t* g = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    constexpr int kOrder[kRegisterCount] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RSI, REG_RDI,
                                            REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                            REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP, REG_EFL};
    for (int i = 0; i < kRegisterCount; ++i) regs[i] = static_cast<uint64_t>(g[kOrder[i]]);
}

__attribute__((noinline)) void captureHere(TStackSnapshot& snapshot) {
    crashreport_capture_registers(snapshot.regs);
    snapshot.pcIsReturnAddress = true;
    copyStack(snapshot, currentThreadStackTop());
}

}  // namespace crashreport
