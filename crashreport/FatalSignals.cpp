#include "crashreport/FatalSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "crashreport/DuplicateCheck.h"
#include "crashreport/InternalNotices.h"
#include "crashreport/LogFile.h"
#include "crashreport/LogFormat.h"
#include "crashreport/ModuleList.h"
#include "crashreport/ReportText.h"
#include "crashreport/ReportWork.h"

namespace crashreport {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kAltStackBytes = 256 * 1024;
constexpr size_t kReportBytes = 512 * 1024;
constexpr int kSymbolWaitMs = 5000;

// Everything the handler touches, prepared beforehand.
struct FatalState {
    TFatalSignalSetup setup;
    int folderFd = -1;
    char* scratch = nullptr;  // kMaxLogBytes, mapped at install
    TModuleList modules[2];
    std::atomic<int> currentModules{0};
    TReportWork work;
    TLogEntries entries;
    char report[kReportBytes];
    char message[256];
    TFramePc frames[kMaxStackRows + 8];
    struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];
};

FatalState* g_state = nullptr;
std::atomic<bool> g_inHandler{false};
std::atomic<bool> g_skipAbort{false};

struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (!memory) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, kAltStackBytes);
    }
};
thread_local AltStack t_altStack;

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        default: return "SIGABRT";
    }
}

// A fault this close to the stack pointer is the guard page under the stack:
// below it for a push or call, a little above it when a frame made room with
// one subtraction and then touched its far end (as instrumented code does).
bool nearStackPointer(uintptr_t fault, uint64_t sp) {
    constexpr uint64_t kBelow = 65536, kAbove = 4096;
    return fault + kBelow >= sp && fault <= sp + kAbove;
}

void describeSignal(int sig, const siginfo_t* info, const uint64_t (&regs)[kRegisterCount], uint64_t errorCode,
                    TTextSink& out) {
    const auto fault = reinterpret_cast<uintptr_t>(info->si_addr);
    if (info->si_code <= 0 && sig != SIGABRT) {  // sent by kill or tgkill, not raised by a fault
        out.add("Signal sent by process ");
        out.addDecimal(static_cast<uint64_t>(info->si_pid));
        return;
    }
    switch (sig) {
        case SIGSEGV:
            if (nearStackPointer(fault, regs[rRSP]) && info->si_code != SI_USER) {
                out.add("Stack overflow");
                return;
            }
            out.add(errorCode & 2 ? "Access violation writing address " : "Access violation reading address ");
            out.addHex(fault, kAddressDigits);
            return;
        case SIGBUS:
            out.add("Bus error at address ");
            out.addHex(fault, kAddressDigits);
            return;
        case SIGFPE:
            out.add(info->si_code == FPE_INTDIV   ? "Integer division by zero"
                    : info->si_code == FPE_INTOVF ? "Integer overflow"
                                                  : "Floating point error");
            return;
        case SIGILL: out.add("Illegal instruction"); return;
        default: out.add("Abnormal program termination"); return;
    }
}

struct BacktraceState {
    TFramePc* frames;
    size_t max;
    size_t count;
    uintptr_t faultPc;
    bool started;
};

_Unwind_Reason_Code takeFrame(_Unwind_Context* context, void* arg) {
    auto* state = static_cast<BacktraceState*>(arg);
    int beforeInstruction = 0;
    const auto pc = static_cast<uintptr_t>(_Unwind_GetIPInfo(context, &beforeInstruction));
    if (pc == 0) return _URC_END_OF_STACK;  // the outermost frame's return address
    // Frames of this handler come first; the interrupted code starts at the faulting pc.
    if (!state->started) {
        if (pc != state->faultPc) return _URC_NO_REASON;
        state->started = true;
        beforeInstruction = 1;
    }
    state->frames[state->count++] = {pc, beforeInstruction != 0};
    return state->count < state->max ? _URC_NO_REASON : _URC_END_OF_STACK;
}

const TSymbolTable* waitForSymbols(FatalState& s) {
    if (!s.setup.symbols) return nullptr;
    for (int waited = 0; waited < kSymbolWaitMs; waited += 10) {
        if (const TSymbolTable* table = s.setup.symbols->load(std::memory_order_acquire)) return table;
        timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return nullptr;
}

void writeLog(FatalState& s, std::string_view entry) {
    const TLogRead read = readLogTail(s.folderFd, s.setup.logName.c_str(), s.scratch, kMaxLogBytes);
    splitLog({s.scratch, read.bytes}, read.cutAtStart, s.entries);
    if (read.skipped || s.entries.dropped)
        writeNoticeFromSignal("[WARNING] - Code: eeLogError - Message: \"the log file was too big to keep whole; "
                              "only its newest entries were kept\"\n");
    if (s.setup.skipDuplicates) {
        const std::string_view title = (*s.setup.texts)[txtModulesInformation];
        char titleLine[128];
        TTextSink titleSink(titleLine, sizeof titleLine);
        titleSink.add(title);
        titleSink.addChar(':');
        const TExceptionFields fields = exceptionFieldsOf(entry, titleSink.text());
        for (size_t i = 0; i < s.entries.count; ++i)
            if (sameError(fields, exceptionFieldsOf(s.entries.items[i], titleSink.text()))) return;
    }
    const size_t first = firstKeptEntry(s.entries.count, s.setup.maxEntries);
    if (!rewriteLog(s.folderFd, s.setup.logName.c_str(), {s.entries.items + first, s.entries.count - first}, entry))
        writeNoticeFromSignal("[WARNING] - Code: eeLogError - Message: \"the fatal error could not be logged\"\n");
}

void endWithSignal(int sig) {
    signal(sig, SIG_DFL);
    raise(sig);  // blocked while the handler runs: delivered with the default action on return
}

void onFatalSignal(int sig, siginfo_t* info, void* rawContext) {
    if (sig == SIGABRT && g_skipAbort.load()) return endWithSignal(sig);
    if (g_inHandler.exchange(true) || !g_state) {
        writeNoticeFromSignal("[ERROR] - Section: FatalSignal - Message: \"a second fault while reporting\"\n");
        return endWithSignal(sig);
    }
    FatalState& s = *g_state;
    uint64_t regs[kRegisterCount] = {};
    uint64_t errorCode = 0;
    registersFromSignalContext(rawContext, regs);
    errorCode = static_cast<uint64_t>(static_cast<const ucontext_t*>(rawContext)->uc_mcontext.gregs[REG_ERR]);
    BacktraceState trace{s.frames, kMaxStackRows, 0, static_cast<uintptr_t>(regs[rRIP]), false};
    _Unwind_Backtrace(takeFrame, &trace);
    if (trace.count == 0) {
        s.frames[0] = {static_cast<uintptr_t>(regs[rRIP]), true};
        trace.count = 1;
    }
    const TModuleList& modules = s.modules[s.currentModules.load()];
    TReportWork& w = s.work;
    w.reset();
    w.data.texts = s.setup.texts;
    w.data.fieldMask = s.setup.fieldMask;
    w.data.configNotes = s.setup.configNotes;
    w.addFrames(s.frames, trace.count, modules, waitForSymbols(s), nullptr, nullptr);
    w.addModules(modules, s.setup.facts->description);
    TTextSink message(s.message, sizeof s.message);
    describeSignal(sig, info, regs, errorCode, message);
    TErrorFacts error;
    error.className = signalName(sig);
    error.message = message.text();
    error.address = regs[rRIP];
    error.addressIsReturn = false;
    error.when = time(nullptr);
    w.setGeneral(*s.setup.facts, error, modules);
    w.setCpu(regs, nullptr);
    TTextSink report(s.report, sizeof s.report);
    writeReportText(w.data, report);
    if (s.setup.logToFile && s.folderFd >= 0) writeLog(s, report.text());
    endWithSignal(sig);
}

}  // namespace

void prepareThreadForFatalSignals() {
    currentThreadStackTop();
    if (t_altStack.memory) return;
    void* memory = mmap(nullptr, kAltStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kAltStackBytes;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, kAltStackBytes);
        return;
    }
    t_altStack.memory = memory;
}

void refreshFatalSignalModules() {
    if (!g_state) return;
    const int next = 1 - g_state->currentModules.load();
    g_state->modules[next].take(g_state->setup.facts->programPath);
    g_state->currentModules.store(next);
}

void skipNextAbortReport() { g_skipAbort.store(true); }

void installFatalSignals(const TFatalSignalSetup& setup) {
    uninstallFatalSignals();
    auto* state = new FatalState;
    state->setup = setup;
    state->scratch = static_cast<char*>(
        mmap(nullptr, kMaxLogBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    if (state->scratch == MAP_FAILED) state->scratch = nullptr;
    if (setup.logToFile && state->scratch) {
        for (size_t i = 1; i < setup.logFolder.size(); ++i)
            if (setup.logFolder[i] == '/') ::mkdir(setup.logFolder.substr(0, i).c_str(), 0700);
        state->folderFd = ::open(setup.logFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    state->modules[0].take(setup.facts->programPath);
    // The unwinder loads its support library on first use; do that now, not in the handler.
    TFramePc probe[4];
    BacktraceState trace{probe, 4, 0, 0, true};
    _Unwind_Backtrace(takeFrame, &trace);
    g_state = state;
    g_skipAbort.store(false);
    g_inHandler.store(false);
    prepareThreadForFatalSignals();
    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        sigaction(kSignals[i], &action, &state->previous[i]);
}

void uninstallFatalSignals() {
    FatalState* state = g_state;
    if (!state) return;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) sigaction(kSignals[i], &state->previous[i], nullptr);
    g_state = nullptr;
    // The state is kept: a handler on another thread may still be reading it.
}

}  // namespace crashreport
