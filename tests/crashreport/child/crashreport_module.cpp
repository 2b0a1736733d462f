// A library module loaded by the test child: it reports its own failure
// through the program's exported entry, as modules of the process do.

#include <stdexcept>

#include "crashreport/ProgramReporter.h"

extern "C" __attribute__((visibility("default"))) void moduleFailsAndReports() {
    try {
        throw std::runtime_error("module could not cope");
    } catch (...) {
        crashreport::reportThroughProgram(std::current_exception());
    }
}
