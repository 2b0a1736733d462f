#pragma once
// Fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) handled on an
// alternate stack: the report is built and logged with async-signal-safe means
// only — storage, the log folder's descriptor, the module list and the debug
// table are all prepared before — then the process ends with the signal's
// usual status. install/uninstall: normal code on the main thread.

#include <atomic>
#include <string>
#include <string_view>

#include "crashreport/CustomTexts.h"
#include "crashreport/SymbolTable.h"
#include "crashreport/SystemFacts.h"

namespace crashreport {

struct TFatalSignalSetup {
    const TSystemFacts* facts = nullptr;
    const TCustomTexts* texts = nullptr;
    uint32_t fieldMask = 0xFFFFFFFFu;
    std::string configNotes;
    bool logToFile = true;
    bool skipDuplicates = false;
    int maxEntries = 32;
    std::string logFolder;  // ends in '/'
    std::string logName;
    const std::atomic<const TSymbolTable*>* symbols = nullptr;
};

void installFatalSignals(const TFatalSignalSetup& setup);
void uninstallFatalSignals();
// Takes the module list again (after libraries were loaded); normal code only.
void refreshFatalSignalModules();
// Gives the calling thread an alternate signal stack (kept until the thread ends).
void prepareThreadForFatalSignals();
// Makes the next SIGABRT end the process without a report (after std::terminate reported it).
void skipNextAbortReport();

}  // namespace crashreport
