#include "crashreport/ReportText.h"

#include <algorithm>

namespace crashreport {

namespace {

constexpr std::string_view kCRLF = "\r\n";

struct Section {
    TextId title;
    int firstField;
    int fieldCount;
};

constexpr Section kSections[] = {
    {txtApplication, gfStartDate, 4},
    {txtException, gfDate, 5},
    {txtActiveControls, gfFormClass, 4},
    {txtComputer, gfComputerName, 6},
    {txtOperatingSystem, gfOSType, 4},
};

constexpr TextId kFieldLabels[kGeneralFieldCount] = {
    txtStartDate, txtNameDescription, txtVersionNumber, txtParameters,
    txtDate, txtAddress, txtModule, txtType, txtMessage,
    txtFormClass, txtFormText, txtControlClass, txtControlText,
    txtName, txtUser, txtTotalMemory, txtFreeMemory, txtTotalDisk, txtFreeDisk,
    txtOSType, txtBuild, txtUpdate, txtLanguage,
};

std::string_view text(const TReportData& d, int id) { return (*d.texts)[id]; }

bool shown(const TReportData& d, int field) { return field < 32 && (d.fieldMask >> field) & 1u; }

// "  s.f label<blanks>: value"; the numbers stay one digit wide for the five sections.
size_t fieldLinePrefix(int sectionNumber, int fieldNumber) {
    return 2 + decimalWidth(sectionNumber) + 1 + decimalWidth(fieldNumber) + 1;
}

void writeSection(const TReportData& d, int index, TTextSink& out) {
    const Section& s = kSections[index];
    size_t labelWidth = 0;
    for (int f = 0; f < s.fieldCount; ++f)
        if (shown(d, s.firstField + f)) labelWidth = std::max(labelWidth, text(d, kFieldLabels[s.firstField + f]).size());
    size_t longest = text(d, s.title).size() + 1;
    for (int f = 0; f < s.fieldCount; ++f) {
        const int field = s.firstField + f;
        if (!shown(d, field)) continue;
        longest = std::max(longest, fieldLinePrefix(index + 1, f + 1) + labelWidth + 2 + d.general[field].size());
    }
    out.add(text(d, s.title));
    out.add(":\r\n");
    out.addChar('-', longest);
    out.add(kCRLF);
    for (int f = 0; f < s.fieldCount; ++f) {
        const int field = s.firstField + f;
        if (!shown(d, field)) continue;
        out.add("  ");
        out.addDecimal(index + 1);
        out.addChar('.');
        out.addDecimal(f + 1);
        out.addChar(' ');
        out.addPadded(text(d, kFieldLabels[field]), labelWidth);
        out.add(": ");
        out.add(d.general[field]);
        out.add(kCRLF);
    }
}

bool sectionShown(const TReportData& d, int index) {
    const Section& s = kSections[index];
    for (int f = 0; f < s.fieldCount; ++f)
        if (shown(d, s.firstField + f)) return true;
    return false;
}

// One table: "title:", rule, header, rule, rows, closing rule (no line end after it).
// cell(row, column, sink) writes a value; width(row, column) is its length.
template <int N, class Width, class Cell>
void writeTable(const TReportData& d, TextId title, const TextId (&headers)[N], size_t rows,
                const size_t (&minimum)[N], Width width, Cell cell, TTextSink& out) {
    size_t widths[N];
    size_t total = N + 1;
    for (int c = 0; c < N; ++c) {
        widths[c] = std::max(minimum[c], text(d, headers[c]).size());
        for (size_t r = 0; r < rows; ++r) widths[c] = std::max(widths[c], width(r, c));
        total += widths[c];
    }
    out.add(text(d, title));
    out.add(":\r\n");
    out.addChar('-', total);
    out.add(kCRLF);
    out.addChar('|');
    for (int c = 0; c < N; ++c) {
        out.addPadded(text(d, headers[c]), widths[c]);
        out.addChar('|');
    }
    out.add(kCRLF);
    out.addChar('-', total);
    out.add(kCRLF);
    for (size_t r = 0; r < rows; ++r) {
        out.addChar('|');
        for (int c = 0; c < N; ++c) {
            const size_t before = out.size();
            cell(r, c, out);
            const size_t written = out.size() - before;
            if (written < widths[c]) out.addChar(' ', widths[c] - written);
            out.addChar('|');
        }
        out.add(kCRLF);
    }
    out.addChar('-', total);
}

const char* kRegisterNames[kRegisterCount] = {"RAX", "RBX", "RCX", "RDX", "RSI", "RDI", "RBP", "RSP", "R8 ",
                                              "R9 ", "R10", "R11", "R12", "R13", "R14", "R15", "RIP", "EFL"};
// Two registers a line: the first four lines keep the classic pairs.
constexpr TRegister kRegisterPairs[][2] = {
    {rRAX, rRDI}, {rRBX, rRSI}, {rRCX, rRSP}, {rRDX, rRIP},
    {rRBP, rR8}, {rR9, rR10}, {rR11, rR12}, {rR13, rR14}, {rR15, rEFLAGS},
};

constexpr int kRegisterDigits = 16;
constexpr size_t kBytesPerDumpLine = 16;
constexpr size_t kStackColumn = kAddressDigits + 2 + 16;             // "address: value"
constexpr size_t kMemoryColumn = kAddressDigits + 2 + 3 * kBytesPerDumpLine + 1 + kBytesPerDumpLine;

void writeStackCell(const TDumpData& dump, size_t line, TTextSink& out) {
    if (line >= dump.stackWords.size()) {
        out.addChar(' ', kStackColumn);
        return;
    }
    out.addHex(dump.stackAddress + line * 8, kAddressDigits);
    out.add(": ");
    out.addHex(dump.stackWords[line], 16);
}

void writeMemoryCell(const TDumpData& dump, size_t line, TTextSink& out) {
    const size_t first = line * kBytesPerDumpLine;
    if (first >= dump.memoryBytes.size()) return;
    const size_t count = std::min(kBytesPerDumpLine, dump.memoryBytes.size() - first);
    out.addHex(dump.memoryAddress + first, kAddressDigits);
    out.add(": ");
    for (size_t i = 0; i < kBytesPerDumpLine; ++i) {
        if (i < count)
            out.addHex(dump.memoryBytes[first + i], 2);
        else
            out.add("  ");
        out.addChar(' ');
    }
    out.addChar(' ');
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = dump.memoryBytes[first + i];
        out.addChar(b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.');
    }
}

}  // namespace

void writeGeneral(const TReportData& d, TTextSink& out) {
    bool first = true;
    for (int s = 0; s < 5; ++s) {
        if (!sectionShown(d, s)) continue;
        if (!first) out.add(kCRLF);
        first = false;
        writeSection(d, s, out);
    }
}

void writeCallStack(const TReportData& d, TTextSink& out) {
    static const TextId headers[6] = {txtColAddress, txtColModule, txtColUnit, txtColClass, txtColProcedure, txtColLine};
    static const size_t minimum[6] = {8, 0, 0, 0, 0, 0};
    const auto& rows = d.stack;
    auto width = [&](size_t r, int c) -> size_t {
        const TCallStackRow& row = rows[r];
        switch (c) {
            case 0: return kAddressDigits;
            case 1: return row.module.size();
            case 2: return row.unit.size();
            case 3: return row.className.size();
            case 4: return row.procedure.size();
            default: return row.line ? decimalWidth(row.line) : 0;
        }
    };
    auto cell = [&](size_t r, int c, TTextSink& sink) {
        const TCallStackRow& row = rows[r];
        switch (c) {
            case 0: sink.addHex(row.address, kAddressDigits); break;
            case 1: sink.add(row.module); break;
            case 2: sink.add(row.unit); break;
            case 3: sink.add(row.className); break;
            case 4: sink.add(row.procedure); break;
            default: if (row.line) sink.addDecimal(row.line);
        }
    };
    writeTable(d, txtCallStackInformation, headers, rows.size(), minimum, width, cell, out);
}

void writeModules(const TReportData& d, TTextSink& out) {
    static const TextId headers[6] = {txtColHandle, txtColName, txtColDescription, txtColVersion, txtColSize, txtColPath};
    static const size_t minimum[6] = {8, 0, 0, 0, 0, 0};
    const auto& rows = d.modules;
    auto width = [&](size_t r, int c) -> size_t {
        const TModuleRow& row = rows[r];
        switch (c) {
            case 0: return kAddressDigits;
            case 1: return row.name.size();
            case 2: return row.description.size();
            case 3: return row.version.size();
            case 4: return decimalWidth(row.size);
            default: return row.path.size();
        }
    };
    auto cell = [&](size_t r, int c, TTextSink& sink) {
        const TModuleRow& row = rows[r];
        switch (c) {
            case 0: sink.addHex(row.handle, kAddressDigits); break;
            case 1: sink.add(row.name); break;
            case 2: sink.add(row.description); break;
            case 3: sink.add(row.version); break;
            case 4: sink.addDecimal(row.size); break;
            default: sink.add(row.path);
        }
    };
    writeTable(d, txtModulesInformation, headers, rows.size(), minimum, width, cell, out);
}

void writeCpu(const TReportData& d, TTextSink& out) {
    constexpr size_t lineLength = 2 * (5 + kRegisterDigits) + 3;
    out.add(text(d, txtRegisters));
    out.add(":\r\n");
    out.addChar('-', lineLength);
    out.add(kCRLF);
    for (const auto& pair : kRegisterPairs) {
        for (int i = 0; i < 2; ++i) {
            if (i) out.add("   ");
            out.add(kRegisterNames[pair[i]]);
            out.add(": ");
            out.addHex(d.cpu.regs[pair[i]], kRegisterDigits);
        }
        out.add(kCRLF);
    }
    out.add(kCRLF);
    const std::string_view stack = text(d, txtStack);
    out.add(stack);
    out.addChar(':');
    if (stack.size() + 1 < kStackColumn + 3) out.addChar(' ', kStackColumn + 3 - stack.size() - 1);
    out.add(text(d, txtMemoryDump));
    out.add(":\r\n");
    out.addChar('-', kStackColumn);
    out.add("   ");
    out.addChar('-', kMemoryColumn);
    out.add(kCRLF);
    const size_t memoryLines = (d.dump.memoryBytes.size() + kBytesPerDumpLine - 1) / kBytesPerDumpLine;
    const size_t lines = std::max(d.dump.stackWords.size(), memoryLines);
    for (size_t line = 0; line < lines; ++line) {
        writeStackCell(d.dump, line, out);
        out.add("   ");
        writeMemoryCell(d.dump, line, out);
        out.add(kCRLF);
    }
}

TReportParts writeReportText(const TReportData& d, TTextSink& out) {
    TReportParts parts;
    out.add(kReportHeader);
    out.add(d.configNotes);
    out.add(kCRLF);
    parts.generalBegin = out.size();
    writeGeneral(d, out);
    parts.generalEnd = out.size();
    out.add(kCRLF);
    parts.stackBegin = out.size();
    writeCallStack(d, out);
    out.add("\r\n\r\n");
    writeModules(d, out);
    parts.stackEnd = out.size();
    out.add("\r\n\r\n");
    parts.cpuBegin = out.size();
    writeCpu(d, out);
    parts.cpuEnd = out.size();
    return parts;
}

}  // namespace crashreport
