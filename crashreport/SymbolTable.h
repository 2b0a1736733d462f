#pragma once
// Code addresses of one ELF file mapped to source file, line, class and
// procedure, read once from its DWARF debug information (elfutils libdw).
// Lookups never allocate and touch only memory built before, so the
// fatal-signal path may use a finished table. Build once, then read-only:
// lookups are safe from any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

struct TSymbol {
    std::string_view unit;       // source file name without folder
    std::string_view className;  // scope of a C++ name ("app::TfrmMain"), empty for a free C function
    std::string_view procedure;  // name without its parameters
    uint32_t line = 0;
    bool found() const { return !procedure.empty() || line != 0; }
};

class TSymbolTable {
public:
    // Reads the debug information of the ELF file at path; bias is the load
    // address to add to its link-time addresses. An unreadable file gives an empty table.
    static TSymbolTable fromFile(const std::string& path, uintptr_t bias);

    // The innermost function (inlined ones included) and line at pc, a run-time address.
    TSymbol lookup(uintptr_t pc) const;
    // The functions at pc from the innermost inlined one out to the real
    // function, each with the line it is at (for callers, the inlined call's
    // line). Returns the count written to out (at most max, 0 when unknown).
    size_t lookupChain(uintptr_t pc, TSymbol* out, size_t max) const;
    size_t functionCount() const { return m_functions.size(); }
    size_t lineCount() const { return m_lines.size(); }

private:
    struct Range {
        uint64_t low, high;  // link-time [low, high)
        uint32_t className, procedure;  // offsets into m_names (length-prefixed)
        uint32_t firstInlined, endInlined;  // nested ranges inside this function
        uint32_t callFile = 0, callLine = 0;  // where an inlined call sits in its caller
    };
    struct Line {
        uint64_t address;
        uint32_t line;
        uint32_t file;  // offset into m_names; UINT32_MAX ends a sequence
    };
    friend class SymbolTableBuilder;

    std::string_view name(uint32_t offset) const;

    uintptr_t m_bias = 0;
    std::vector<Range> m_functions;  // sorted by low
    std::vector<Range> m_inlined;
    std::vector<Line> m_lines;       // sorted by address
    std::string m_names;
};

}  // namespace crashreport
