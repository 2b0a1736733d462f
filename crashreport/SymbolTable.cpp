#include "crashreport/SymbolTable.h"

#include <cxxabi.h>
#include <dwarf.h>
#include <elfutils/libdw.h>
#include <fcntl.h>
#include <libelf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "crashreport/DieScopes.h"
#include "crashreport/NameSplitter.h"

namespace crashreport {

namespace {

constexpr uint32_t kEndOfSequence = UINT32_MAX;
// Nesting of namespaces, blocks and inlined calls followed; deeper DWARF is skipped.
constexpr int kMaxDepth = 64;

std::string_view baseName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

class SymbolTableBuilder {
public:
    explicit SymbolTableBuilder(TSymbolTable& table) : m_table(table) { m_table.m_names.assign(4, '\0'); }

    void build(Dwarf* dwarf) {
        Dwarf_CU* cu = nullptr;
        Dwarf_Die cuDie, subDie;
        uint8_t unitType = 0;
        while (dwarf_get_units(dwarf, cu, &cu, nullptr, &unitType, &cuDie, &subDie) == 0) {
            if (unitType != DW_UT_compile && unitType != DW_UT_partial) continue;
            addLines(&cuDie);
            m_files = nullptr;
            m_fileCount = 0;
            if (dwarf_getsrcfiles(&cuDie, &m_files, &m_fileCount) != 0) m_files = nullptr;
            m_scopes.build(&cuDie);
            walkScope(&cuDie, 0);
        }
        auto byLow = [](const TSymbolTable::Range& a, const TSymbolTable::Range& b) { return a.low < b.low; };
        std::sort(m_table.m_functions.begin(), m_table.m_functions.end(), byLow);
        std::stable_sort(m_table.m_lines.begin(), m_table.m_lines.end(),
                         [](const TSymbolTable::Line& a, const TSymbolTable::Line& b) {
                             if (a.address != b.address) return a.address < b.address;
                             return (a.file == kEndOfSequence) > (b.file == kEndOfSequence);
                         });
    }

private:
    uint32_t intern(std::string_view text) {
        if (text.empty()) return 0;
        auto found = m_interned.find(std::string(text));
        if (found != m_interned.end()) return found->second;
        const auto offset = static_cast<uint32_t>(m_table.m_names.size());
        const auto length = static_cast<uint32_t>(text.size());
        m_table.m_names.append(reinterpret_cast<const char*>(&length), 4);
        m_table.m_names.append(text);
        m_interned.emplace(std::string(text), offset);
        return offset;
    }

    void addLines(Dwarf_Die* cuDie) {
        Dwarf_Lines* lines = nullptr;
        size_t count = 0;
        if (dwarf_getsrclines(cuDie, &lines, &count) != 0) return;
        for (size_t i = 0; i < count; ++i) {
            Dwarf_Line* line = dwarf_onesrcline(lines, i);
            Dwarf_Addr address = 0;
            int number = 0;
            bool end = false;
            if (!line || dwarf_lineaddr(line, &address) != 0) continue;
            dwarf_lineno(line, &number);
            dwarf_lineendsequence(line, &end);
            const char* file = dwarf_linesrc(line, nullptr, nullptr);
            const uint32_t fileName = end ? kEndOfSequence : intern(baseName(file ? file : ""));
            m_table.m_lines.push_back({address, static_cast<uint32_t>(number > 0 ? number : 0), fileName});
        }
    }

    std::pair<uint32_t, uint32_t> names(Dwarf_Die* die) {
        Dwarf_Attribute attribute;
        const char* linkage = dwarf_formstring(dwarf_attr_integrate(die, DW_AT_linkage_name, &attribute));
        if (!linkage) linkage = dwarf_formstring(dwarf_attr_integrate(die, DW_AT_MIPS_linkage_name, &attribute));
        if (!linkage) {
            // Internal names (anonymous namespaces, lambdas) have no linkage name: the scope comes from where
            // the function was declared.
            const char* plain = dwarf_formstring(dwarf_attr_integrate(die, DW_AT_name, &attribute));
            if (!plain) return {0, 0};
            std::string className, procedure;
            splitQualifiedName(m_scopes.scopeOf(die) + plain, className, procedure);
            return {intern(className), intern(procedure)};
        }
        auto cached = m_byLinkage.find(linkage);
        if (cached != m_byLinkage.end()) return cached->second;
        int status = 0;
        char* demangled = abi::__cxa_demangle(linkage, nullptr, nullptr, &status);
        std::string className, procedure;
        splitQualifiedName(status == 0 && demangled ? demangled : linkage, className, procedure);
        std::free(demangled);
        const auto result = std::make_pair(intern(className), intern(procedure));
        m_byLinkage.emplace(linkage, result);
        return result;
    }

    template <class Add>
    void forEachRange(Dwarf_Die* die, Add add) {
        Dwarf_Addr base = 0, low = 0, high = 0;
        ptrdiff_t offset = 0;
        while ((offset = dwarf_ranges(die, offset, &base, &low, &high)) > 0)
            if (high > low) add(low, high);
    }

    void walkScope(Dwarf_Die* scope, int depth) {
        if (depth > kMaxDepth) return;
        Dwarf_Die child;
        if (dwarf_child(scope, &child) != 0) return;
        do {
            const int tag = dwarf_tag(&child);
            if (tag == DW_TAG_namespace || tag == DW_TAG_lexical_block || tag == DW_TAG_class_type ||
                tag == DW_TAG_structure_type || tag == DW_TAG_union_type) {
                walkScope(&child, depth + 1);
            } else if (tag == DW_TAG_subprogram) {
                addFunction(&child);
                // Unoptimised code keeps a lambda's or local class's member functions inside the enclosing
                // function's entry, not at unit level.
                walkScope(&child, depth + 1);
            }
        } while (dwarf_siblingof(&child, &child) == 0);
    }

    void addFunction(Dwarf_Die* die) {
        std::vector<std::pair<uint64_t, uint64_t>> ranges;
        forEachRange(die, [&](uint64_t low, uint64_t high) { ranges.emplace_back(low, high); });
        if (ranges.empty()) return;
        const auto [className, procedure] = names(die);
        const auto firstInlined = static_cast<uint32_t>(m_table.m_inlined.size());
        walkInlined(die, 0);
        const auto endInlined = static_cast<uint32_t>(m_table.m_inlined.size());
        for (const auto& [low, high] : ranges)
            m_table.m_functions.push_back({low, high, className, procedure, firstInlined, endInlined});
    }

    void walkInlined(Dwarf_Die* scope, int depth) {
        if (depth > kMaxDepth) return;
        Dwarf_Die child;
        if (dwarf_child(scope, &child) != 0) return;
        do {
            const int tag = dwarf_tag(&child);
            if (tag == DW_TAG_inlined_subroutine) {
                // Plain pairs, not structured bindings: clang 14 (the fuzz build) cannot capture those in a lambda.
                const std::pair<uint32_t, uint32_t> name = names(&child);
                const std::pair<uint32_t, uint32_t> call = callSite(&child);
                forEachRange(&child, [&](uint64_t low, uint64_t high) {
                    m_table.m_inlined.push_back({low, high, name.first, name.second, 0, 0, call.first, call.second});
                });
                walkInlined(&child, depth + 1);
            } else if (tag == DW_TAG_lexical_block || tag == DW_TAG_try_block || tag == DW_TAG_catch_block) {
                walkInlined(&child, depth + 1);
            }
        } while (dwarf_siblingof(&child, &child) == 0);
    }

    std::pair<uint32_t, uint32_t> callSite(Dwarf_Die* die) {
        Dwarf_Attribute attribute;
        Dwarf_Word file = 0, line = 0;
        if (dwarf_formudata(dwarf_attr(die, DW_AT_call_line, &attribute), &line) != 0) line = 0;
        uint32_t fileName = 0;
        if (m_files && dwarf_formudata(dwarf_attr(die, DW_AT_call_file, &attribute), &file) == 0 && file < m_fileCount) {
            const char* path = dwarf_filesrc(m_files, file, nullptr, nullptr);
            fileName = intern(baseName(path ? path : ""));
        }
        return {fileName, static_cast<uint32_t>(line)};
    }

    TSymbolTable& m_table;
    TDieScopes m_scopes;
    Dwarf_Files* m_files = nullptr;
    size_t m_fileCount = 0;
    std::unordered_map<std::string, uint32_t> m_interned;
    std::unordered_map<const char*, std::pair<uint32_t, uint32_t>> m_byLinkage;
};

TSymbolTable TSymbolTable::fromFile(const std::string& path, uintptr_t bias) {
    TSymbolTable table;
    table.m_bias = bias;
    elf_version(EV_CURRENT);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return table;
    Elf* elf = elf_begin(fd, ELF_C_READ_MMAP, nullptr);
    Dwarf* dwarf = elf ? dwarf_begin_elf(elf, DWARF_C_READ, nullptr) : nullptr;
    if (dwarf) {
        SymbolTableBuilder(table).build(dwarf);
        dwarf_end(dwarf);
    }
    if (elf) elf_end(elf);
    ::close(fd);
    return table;
}

std::string_view TSymbolTable::name(uint32_t offset) const {
    if (offset == 0 || offset + 4 > m_names.size()) return {};
    uint32_t length = 0;
    std::memcpy(&length, m_names.data() + offset, 4);
    return std::string_view(m_names).substr(offset + 4, length);
}

size_t TSymbolTable::lookupChain(uintptr_t pc, TSymbol* out, size_t max) const {
    if (max == 0 || pc < m_bias) return 0;
    const TSymbol innermost = lookup(pc);
    if (!innermost.found()) return 0;
    out[0] = innermost;
    const uint64_t address = pc - m_bias;
    auto function = std::upper_bound(m_functions.begin(), m_functions.end(), address,
                                     [](uint64_t a, const Range& r) { return a < r.low; });
    if (function == m_functions.begin() || address >= (--function)->high) return 1;
    // The inlined ranges holding pc nest; innermost first (a deeper one was added later).
    constexpr size_t kMaxNesting = 32;
    uint32_t nested[kMaxNesting];
    size_t depth = 0;
    for (uint32_t i = function->firstInlined; i < function->endInlined && depth < kMaxNesting; ++i)
        if (m_inlined[i].low <= address && address < m_inlined[i].high) nested[depth++] = i;
    std::sort(nested, nested + depth, [this](uint32_t a, uint32_t b) {
        const uint64_t sizeA = m_inlined[a].high - m_inlined[a].low, sizeB = m_inlined[b].high - m_inlined[b].low;
        return sizeA != sizeB ? sizeA < sizeB : a > b;
    });
    size_t count = 1;
    for (size_t k = 0; k < depth && count < max; ++k) {
        const Range& inlined = m_inlined[nested[k]];
        const Range& caller = k + 1 < depth ? m_inlined[nested[k + 1]] : *function;
        TSymbol symbol;
        symbol.className = name(caller.className);
        symbol.procedure = name(caller.procedure);
        symbol.unit = name(inlined.callFile);
        symbol.line = inlined.callLine;
        out[count++] = symbol;
    }
    return count;
}

TSymbol TSymbolTable::lookup(uintptr_t pc) const {
    TSymbol symbol;
    if (pc < m_bias) return symbol;
    const uint64_t address = pc - m_bias;
    auto function = std::upper_bound(m_functions.begin(), m_functions.end(), address,
                                     [](uint64_t a, const Range& r) { return a < r.low; });
    if (function != m_functions.begin() && address < (--function)->high) {
        const Range* best = &*function;
        for (uint32_t i = function->firstInlined; i < function->endInlined; ++i) {
            const Range& r = m_inlined[i];
            if (r.low <= address && address < r.high && r.high - r.low <= best->high - best->low) best = &r;
        }
        symbol.className = name(best->className);
        symbol.procedure = name(best->procedure);
    }
    auto line = std::upper_bound(m_lines.begin(), m_lines.end(), address,
                                 [](uint64_t a, const Line& l) { return a < l.address; });
    if (line != m_lines.begin() && (--line)->file != kEndOfSequence) {
        symbol.unit = name(line->file);
        symbol.line = line->line;
    }
    return symbol;
}

}  // namespace crashreport
