#pragma once
// Unwinds a TStackSnapshot after the fact with the modules' call-frame
// information (elfutils libdwfl), reading the stack from the copy only.
// Safe from any thread (one unwind at a time); not for signal handlers.

#include <cstddef>
#include <cstdint>
#include <string>

#include "crashreport/StackSnapshot.h"

namespace crashreport {

struct TFramePc {
    uintptr_t pc = 0;
    // False: pc is a return address; look up pc - 1 for the call's line.
    bool activation = false;
};

// The registers of one frame on the way: those the call-frame information
// brings back (on x86-64 the callee-saved RBX, RBP, R12 to R15, and RSP);
// the rest stay 0, as the frame's values are lost at the call.
struct TFrameRegisters {
    uintptr_t pc = 0;  // the frame wanted, by its return address
    bool found = false;
    uint64_t regs[kRegisterCount] = {};
};

// Fills at most max frames, innermost first; returns the count. With
// registersAt, also takes the registers of the first frame at registersAt->pc.
size_t unwindSnapshot(const TStackSnapshot& snapshot, TFramePc* frames, size_t max,
                      TFrameRegisters* registersAt = nullptr);

// The name of the symbol containing pc in a module without our debug table
// (demangled), or empty.
std::string moduleSymbolName(uintptr_t pc);

}  // namespace crashreport
