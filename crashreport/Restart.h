#pragma once
// Ending the program after an error: Restart starts it again with the same
// arguments in the folder that was current at start-up, detached from this
// process; both end this process at once with exit code 1.

#include "crashreport/SystemFacts.h"

namespace crashreport {

inline constexpr int kTerminateExitCode = 1;

[[noreturn]] void restartProgram(const TSystemFacts& facts);
[[noreturn]] void terminateProgram();

}  // namespace crashreport
