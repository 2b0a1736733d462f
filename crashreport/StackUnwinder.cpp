#include "crashreport/StackUnwinder.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace crashreport {

namespace {

// DWARF register numbers of x86-64, 0..16 (16 is the return address column).
constexpr TRegister kDwarfOrder[17] = {rRAX, rRDX, rRCX, rRBX, rRSI, rRDI, rRBP, rRSP, rR8,
                                       rR9,  rR10, rR11, rR12, rR13, rR14, rR15, rRIP};

struct UnwindState {
    const TStackSnapshot* snapshot = nullptr;
    bool threadGiven = false;
};

pid_t nextThread(Dwfl*, void* arg, void** threadArg) {
    auto* state = static_cast<UnwindState*>(arg);
    if (state->threadGiven) return 0;
    state->threadGiven = true;
    *threadArg = state;
    return ::getpid();
}

bool memoryRead(Dwfl*, Dwarf_Addr address, Dwarf_Word* result, void* arg) {
    uint64_t value = 0;
    if (!static_cast<UnwindState*>(arg)->snapshot->readWord(address, value)) return false;
    *result = value;
    return true;
}

bool setInitialRegisters(Dwfl_Thread* thread, void* arg) {
    const TStackSnapshot& s = *static_cast<UnwindState*>(arg)->snapshot;
    Dwarf_Word regs[17];
    for (int i = 0; i < 17; ++i) regs[i] = s.regs[kDwarfOrder[i]];
    // A return address as the first frame's pc would find the next function's
    // rules after a call that never returns; the call instruction has the same state.
    if (s.pcIsReturnAddress) regs[16] -= 1;
    return dwfl_thread_state_registers(thread, 0, 17, regs);
}

const Dwfl_Thread_Callbacks kCallbacks = {nextThread, nullptr, memoryRead, setInitialRegisters, nullptr, nullptr};

// We never look for separate debug files (that could reach the network).
int noSeparateDebugInfo(Dwfl_Module*, void**, const char*, Dwarf_Addr, const char*, const char*, GElf_Word,
                        char**) {
    return -1;
}

const Dwfl_Callbacks kDwflCallbacks = {dwfl_linux_proc_find_elf, noSeparateDebugInfo, nullptr, nullptr};

int countModules(dl_phdr_info*, size_t, void* data) {
    ++*static_cast<size_t*>(data);
    return 0;
}

// One Dwfl for the process, made again when modules come or go.
class ProcessDwfl {
public:
    Dwfl* get() {
        size_t modules = 0;
        dl_iterate_phdr(countModules, &modules);
        if (m_dwfl && modules == m_modules) return m_dwfl;
        if (m_dwfl) dwfl_end(m_dwfl);
        m_modules = modules;
        m_state = UnwindState{};
        m_dwfl = dwfl_begin(&kDwflCallbacks);
        if (!m_dwfl) return nullptr;
        dwfl_report_begin(m_dwfl);
        if (dwfl_linux_proc_report(m_dwfl, ::getpid()) != 0 || dwfl_report_end(m_dwfl, nullptr, nullptr) != 0 ||
            !dwfl_attach_state(m_dwfl, nullptr, ::getpid(), &kCallbacks, &m_state)) {
            dwfl_end(m_dwfl);
            m_dwfl = nullptr;
        }
        return m_dwfl;
    }
    UnwindState& state() { return m_state; }
    std::mutex lock;

private:
    Dwfl* m_dwfl = nullptr;
    size_t m_modules = 0;
    UnwindState m_state;
};

ProcessDwfl& processDwfl() {
    static auto* dwfl = new ProcessDwfl;  // lives to the end: reports can come from exit handlers
    return *dwfl;
}

struct FrameSink {
    TFramePc* frames;
    size_t max;
    size_t count;
    TFrameRegisters* wanted;
};

void takeRegisters(Dwfl_Frame* frame, TFrameRegisters& out) {
    for (unsigned i = 0; i < 16; ++i) {
        Dwarf_Word value = 0;
        if (dwfl_frame_reg(frame, i, &value) == 0) out.regs[kDwarfOrder[i]] = value;
    }
    out.regs[rRIP] = out.pc;
    out.found = true;
}

int takeFrame(Dwfl_Frame* frame, void* arg) {
    auto* sink = static_cast<FrameSink*>(arg);
    Dwarf_Addr pc = 0;
    bool activation = false;
    if (!dwfl_frame_pc(frame, &pc, &activation) || pc == 0) return DWARF_CB_ABORT;
    if (sink->wanted && !sink->wanted->found && pc == sink->wanted->pc && sink->count > 0) takeRegisters(frame, *sink->wanted);
    sink->frames[sink->count++] = {static_cast<uintptr_t>(pc), activation};
    return sink->count < sink->max ? DWARF_CB_OK : DWARF_CB_ABORT;
}

}  // namespace

size_t unwindSnapshot(const TStackSnapshot& snapshot, TFramePc* frames, size_t max, TFrameRegisters* registersAt) {
    if (!snapshot.valid || max == 0) return 0;
    ProcessDwfl& process = processDwfl();
    std::lock_guard<std::mutex> guard(process.lock);
    Dwfl* dwfl = process.get();
    if (!dwfl) {
        frames[0] = {static_cast<uintptr_t>(snapshot.regs[rRIP]), !snapshot.pcIsReturnAddress};
        return 1;
    }
    process.state().snapshot = &snapshot;
    process.state().threadGiven = false;
    FrameSink sink{frames, max, 0, registersAt};
    dwfl_getthread_frames(dwfl, ::getpid(), takeFrame, &sink);
    // The first frame was moved into its call instruction; give back the return address.
    if (sink.count > 0 && snapshot.pcIsReturnAddress) sink.frames[0] = {static_cast<uintptr_t>(snapshot.regs[rRIP]), false};
    return sink.count;
}

std::string moduleSymbolName(uintptr_t pc) {
    ProcessDwfl& process = processDwfl();
    std::lock_guard<std::mutex> guard(process.lock);
    Dwfl* dwfl = process.get();
    if (!dwfl) return {};
    Dwfl_Module* module = dwfl_addrmodule(dwfl, pc);
    const char* name = module ? dwfl_module_addrname(module, pc) : nullptr;
    if (!name) return {};
    int status = 0;
    char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && demangled ? demangled : name;
    std::free(demangled);
    return result;
}

}  // namespace crashreport
