#pragma once
// Fixed storage for assembling one report and the steps that fill it: call
// stack rows from frame addresses, module rows, General values, registers and
// the memory dump. Nothing here allocates; the fatal-signal path keeps one
// TReportWork in static storage, the normal path one on the heap per report.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "crashreport/ModuleList.h"
#include "crashreport/ReportData.h"
#include "crashreport/StackUnwinder.h"
#include "crashreport/SymbolTable.h"
#include "crashreport/SystemFacts.h"
#include "crashreport/TextSink.h"

namespace crashreport {

inline constexpr size_t kMaxStackRows = 100;
inline constexpr size_t kDumpStackWords = 16;
inline constexpr size_t kDumpMemoryBytes = 256;
inline constexpr size_t kMaxValueLength = 1000;

// What the report says about the error itself.
struct TErrorFacts {
    std::string_view className;  // "Type"
    std::string_view message;
    uintptr_t address = 0;  // where it happened
    bool addressIsReturn = true;  // address follows a call (a throw site), so its module holds address - 1
    time_t when = 0;
    std::string_view formClass, formText, controlClass, controlText;
};

// Names of a code address outside the main program's table; views must outlive the report.
using TForeignSymbolLookup = std::string_view (*)(uintptr_t pc, void* context);

struct TReportWork {
    TCallStackRow stackRows[kMaxStackRows];
    size_t stackCount = 0;
    TModuleRow moduleRows[TModuleList::kCapacity];
    size_t moduleCount = 0;
    char values[16384];
    TTextSink valueSink{values, sizeof values};
    uint64_t stackWords[kDumpStackWords] = {};
    uint8_t memoryBytes[kDumpMemoryBytes] = {};
    TReportData data;

    void reset();
    // Rows for frames, innermost first. symbols may be null (no table yet).
    void addFrames(const TFramePc* frames, size_t count, const TModuleList& modules, const TSymbolTable* symbols,
                   TForeignSymbolLookup foreign, void* foreignContext);
    void addModules(const TModuleList& modules, std::string_view mainDescription);
    void setGeneral(const TSystemFacts& facts, const TErrorFacts& error, const TModuleList& modules);
    // Registers, the stack (from snapshot when given, else read live) and the
    // code bytes near RIP, read without risk of a fault.
    void setCpu(const uint64_t (&regs)[kRegisterCount], const TStackSnapshot* snapshot);

private:
    std::string_view keep(std::string_view text);
};

// Copies length bytes at address of this process into target without faulting
// (process_vm_readv); returns the bytes copied.
size_t safeRead(uintptr_t address, void* target, size_t length);

}  // namespace crashreport
