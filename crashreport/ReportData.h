#pragma once
// What one report is made of, as views into storage the caller owns (the
// normal path keeps std::strings, the fatal-signal path fixed buffers).

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "crashreport/CustomTexts.h"

namespace crashreport {

// Hexadecimal digits of an address.
inline constexpr int kAddressDigits = 2 * sizeof(void*);

// Fields of the General part, in field order: bit n of FieldMask is field n.
enum TGeneralField : int {
    gfStartDate, gfNameDescription, gfVersionNumber, gfParameters,
    gfDate, gfAddress, gfModule, gfType, gfMessage,
    gfFormClass, gfFormText, gfControlClass, gfControlText,
    gfComputerName, gfUser, gfTotalMemory, gfFreeMemory, gfTotalDisk, gfFreeDisk,
    gfOSType, gfBuild, gfUpdate, gfLanguage,
    kGeneralFieldCount
};

using TGeneralValues = std::array<std::string_view, kGeneralFieldCount>;

struct TCallStackRow {
    uintptr_t address = 0;
    std::string_view module, unit, className, procedure;
    uint32_t line = 0;  // 0: unknown, printed empty
};

struct TModuleRow {
    uintptr_t handle = 0;
    std::string_view name, description, version;
    uint64_t size = 0;
    std::string_view path;
};

// x86-64 general registers in the report's order.
enum TRegister : int {
    rRAX, rRBX, rRCX, rRDX, rRSI, rRDI, rRBP, rRSP,
    rR8, rR9, rR10, rR11, rR12, rR13, rR14, rR15, rRIP, rEFLAGS,
    kRegisterCount
};

struct TCpuContext {
    std::array<uint64_t, kRegisterCount> regs{};
    bool valid = false;
};

// Readable memory near the fault: stack words from stackAddress, code bytes from memoryAddress.
struct TDumpData {
    uintptr_t stackAddress = 0;
    std::span<const uint64_t> stackWords;
    uintptr_t memoryAddress = 0;
    std::span<const uint8_t> memoryBytes;
};

struct TReportData {
    const TCustomTexts* texts = nullptr;
    uint32_t fieldMask = 0xFFFFFFFFu;
    std::string_view configNotes;  // whole lines, each ending in CR LF
    TGeneralValues general{};
    std::span<const TCallStackRow> stack;
    std::span<const TModuleRow> modules;
    TCpuContext cpu;
    TDumpData dump;
};

}  // namespace crashreport
