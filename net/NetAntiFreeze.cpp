#include "net/NetAntiFreeze.h"

#include <atomic>
#include <sys/syscall.h>
#include <unistd.h>

namespace net {

namespace {

std::atomic<TNetAntiFreeze*> g_current{nullptr};
TNetAntiFreeze::PumpCallback g_processAll;
TNetAntiFreeze::PumpCallback g_processOne;

}  // namespace

TNetAntiFreeze::TNetAntiFreeze() { g_current.store(this); }

TNetAntiFreeze::~TNetAntiFreeze() { g_current.store(nullptr); }

void TNetAntiFreeze::RunMessages() {
    // Copies, so a handler that re-registers the pump cannot free the running one.
    PumpCallback pump = ApplicationHasPriority ? g_processAll : g_processOne;
    if (pump) pump();
}

TNetAntiFreeze* TNetAntiFreeze::CurrentAntiFreeze() { return g_current.load(); }

bool TNetAntiFreeze::IsMainThread() {
    // Asked before every wait slice: one system call per thread, not per slice.
    thread_local const bool isMain = static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
    return isMain;
}

bool TNetAntiFreeze::IsEffective() {
    TNetAntiFreeze* current = g_current.load();
    return current && IsMainThread() && current->Active;
}

void TNetAntiFreeze::YieldToUI(bool idle, bool force) {
    if (!IsEffective()) return;
    TNetAntiFreeze* current = g_current.load();
    if (current && current->Active && (idle || !current->OnlyWhenIdle || force)) current->RunMessages();
}

void TNetAntiFreeze::SetMessagePump(PumpCallback processAll, PumpCallback processOne) {
    g_processAll = std::move(processAll);
    g_processOne = std::move(processOne);
}

}  // namespace net
