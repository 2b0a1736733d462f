#include "crashreport/ReportWork.h"

#include <sys/uio.h>
#include <unistd.h>

namespace crashreport {

size_t safeRead(uintptr_t address, void* target, size_t length) {
    iovec local{target, length};
    iovec remote{reinterpret_cast<void*>(address), length};
    const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void TReportWork::reset() {
    stackCount = 0;
    moduleCount = 0;
    valueSink = TTextSink(values, sizeof values);
    data = TReportData{};
}

std::string_view TReportWork::keep(std::string_view text) {
    if (text.size() > kMaxValueLength) text = text.substr(0, kMaxValueLength);
    const size_t begin = valueSink.size();
    // Values stay on one line: line breaks and other control bytes become blanks.
    for (char c : text) valueSink.addChar(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
    return valueSink.text().substr(begin);
}

void TReportWork::addFrames(const TFramePc* frames, size_t count, const TModuleList& modules,
                            const TSymbolTable* symbols, TForeignSymbolLookup foreign, void* foreignContext) {
    constexpr size_t kMaxInlined = 16;
    for (size_t i = 0; i < count && stackCount < kMaxStackRows; ++i) {
        const uintptr_t lookupPc = frames[i].activation ? frames[i].pc : frames[i].pc - 1;
        const TModuleInfo* module = modules.find(lookupPc);
        TSymbol chain[kMaxInlined];
        size_t found = 0;
        if (module && module == &modules.modules[0] && symbols) found = symbols->lookupChain(lookupPc, chain, kMaxInlined);
        // One row per function at this address: inlined calls first, then the function they sit in.
        for (size_t k = 0; k < (found ? found : 1) && stackCount < kMaxStackRows; ++k) {
            TCallStackRow& row = stackRows[stackCount++];
            row = TCallStackRow{};
            row.address = frames[i].pc;
            if (module) row.module = module->name();
            if (found) {
                row.unit = chain[k].unit;
                row.className = chain[k].className;
                row.procedure = chain[k].procedure;
                row.line = chain[k].line;
            } else if (foreign) {
                row.procedure = foreign(lookupPc, foreignContext);
            }
        }
    }
    data.stack = {stackRows, stackCount};
}

void TReportWork::addModules(const TModuleList& modules, std::string_view mainDescription) {
    moduleCount = 0;
    for (size_t i = 0; i < modules.count; ++i) {
        const TModuleInfo& m = modules.modules[i];
        moduleRows[moduleCount++] = {m.start, m.name(), i == 0 ? mainDescription : std::string_view(), m.version(),
                                     m.size, m.pathView()};
    }
    data.modules = {moduleRows, moduleCount};
}

void TReportWork::setGeneral(const TSystemFacts& facts, const TErrorFacts& error, const TModuleList& modules) {
    TGeneralValues& g = data.general;
    g[gfStartDate] = facts.startDate;
    g[gfNameDescription] = facts.description;
    g[gfVersionNumber] = facts.version;
    g[gfParameters] = keep(facts.parameters);
    size_t begin = valueSink.size();
    writeDateTime(error.when, facts.utcOffsetSeconds, valueSink);
    g[gfDate] = valueSink.text().substr(begin);
    begin = valueSink.size();
    valueSink.addHex(error.address, kAddressDigits);
    g[gfAddress] = valueSink.text().substr(begin);
    const TModuleInfo* module = modules.find(error.addressIsReturn && error.address > 0 ? error.address - 1 : error.address);
    g[gfModule] = module ? module->name() : std::string_view();
    g[gfType] = keep(error.className);
    g[gfMessage] = keep(error.message);
    g[gfFormClass] = keep(error.formClass);
    g[gfFormText] = keep(error.formText);
    g[gfControlClass] = keep(error.controlClass);
    g[gfControlText] = keep(error.controlText);
    g[gfComputerName] = facts.computerName;
    g[gfUser] = facts.user;
    g[gfTotalMemory] = facts.totalMemory;
    begin = valueSink.size();
    writeMegabytes(freeMemoryBytes(), valueSink);
    g[gfFreeMemory] = valueSink.text().substr(begin);
    g[gfTotalDisk] = facts.totalDisk;
    begin = valueSink.size();
    writeMegabytes(freeDiskBytes(facts.programFolder.c_str()), valueSink);
    g[gfFreeDisk] = valueSink.text().substr(begin);
    g[gfOSType] = facts.osType;
    g[gfBuild] = facts.osBuild;
    g[gfUpdate] = facts.osUpdate;
    g[gfLanguage] = facts.language;
}

void TReportWork::setCpu(const uint64_t (&regs)[kRegisterCount], const TStackSnapshot* snapshot) {
    for (int i = 0; i < kRegisterCount; ++i) data.cpu.regs[i] = regs[i];
    data.cpu.valid = true;
    const uintptr_t sp = regs[rRSP];
    size_t stackBytes = 0;
    if (snapshot) {
        while (stackBytes / 8 < kDumpStackWords && snapshot->readWord(sp + stackBytes, stackWords[stackBytes / 8]))
            stackBytes += 8;
    } else {
        stackBytes = safeRead(sp, stackWords, sizeof stackWords);
    }
    data.dump.stackAddress = sp;
    data.dump.stackWords = {stackWords, stackBytes / 8};
    // Code bytes from a little before the instruction, so the call or fault sits inside.
    const uintptr_t code = regs[rRIP] >= 64 ? (regs[rRIP] - 64) & ~uintptr_t{15} : 0;
    const size_t codeBytes = safeRead(code, memoryBytes, sizeof memoryBytes);
    data.dump.memoryAddress = code;
    data.dump.memoryBytes = {memoryBytes, codeBytes};
}

}  // namespace crashreport
