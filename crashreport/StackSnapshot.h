#pragma once
// A copy of a thread's registers and the top of its stack, taken cheaply at
// the moment of a throw (or inside a signal handler) and unwound later, when
// the report is built. x86-64 only.
// REQUIRES: the capture functions run on the thread whose stack they copy.

#include <cstddef>
#include <cstdint>

#include "crashreport/ReportData.h"

namespace crashreport {

inline constexpr size_t kSnapshotStackBytes = 32 * 1024;

struct TStackSnapshot {
    uint64_t regs[kRegisterCount] = {};
    uintptr_t stackAddress = 0;  // the copy holds [stackAddress, stackAddress + stackSize)
    size_t stackSize = 0;
    // RIP is a return address (the capture was a call), not the faulting instruction.
    bool pcIsReturnAddress = false;
    bool valid = false;
    alignas(16) uint8_t stack[kSnapshotStackBytes];

    // Reads the 8 bytes at address from the copy; false outside it.
    bool readWord(uintptr_t address, uint64_t& value) const;
};

// Registers of the caller at the instruction after this call (RIP = that return address).
extern "C" void crashreport_capture_registers(uint64_t* regs);

// The current thread's highest stack address (cached per thread; the first call
// of a thread may allocate, so call it once from normal code before relying on it
// inside a signal handler).
uintptr_t currentThreadStackTop();

// Copies the stack from regs[rRSP] up to the thread's stack top (at most
// kSnapshotStackBytes); async-signal-safe once currentThreadStackTop() was called.
void copyStack(TStackSnapshot& snapshot, uintptr_t stackTop);

// The registers of a signal handler's context (its ucontext_t); async-signal-safe.
void registersFromSignalContext(const void* context, uint64_t (&regs)[kRegisterCount]);

// Registers and stack of the caller of this function.
void captureHere(TStackSnapshot& snapshot);

}  // namespace crashreport
