#include "crashreport/FreezeWatch.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "crashreport/ExceptionLog.h"
#include "crashreport/StackSnapshot.h"
#include "rtl/Thread.h"

namespace crashreport {

namespace {

using Clock = std::chrono::steady_clock;

int snapshotSignal() { return SIGRTMIN + 6; }

// The copy of the GUI thread, written by its signal handler.
struct FreezeCopy {
    TStackSnapshot snapshot;
    uintptr_t stackTop = 0;
    std::atomic<bool> done{false};
};
std::atomic<FreezeCopy*> g_copy{nullptr};

void onSnapshotSignal(int, siginfo_t*, void* rawContext) {
    FreezeCopy* copy = g_copy.load();
    if (!copy) return;
    registersFromSignalContext(rawContext, copy->snapshot.regs);
    copy->snapshot.pcIsReturnAddress = false;
    copyStack(copy->snapshot, copy->stackTop);
    copy->done.store(true);
}

// Sleeps ms in short steps; false when the thread was asked to stop.
bool pause(rtl::TThread& self, int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        if (self.terminated()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !self.terminated();
}

}  // namespace

TFreezeThread::TFreezeThread(TExceptionLog& log, int seconds, std::string message)
    : m_log(log), m_limitMs(seconds * 1000), m_message(std::move(message)), m_guiThread(pthread_self()) {
    auto* copy = new FreezeCopy;
    copy->stackTop = currentThreadStackTop();
    delete g_copy.exchange(copy);
    struct sigaction action {};
    action.sa_sigaction = onSnapshotSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(snapshotSignal(), &action, nullptr);
    m_thread = std::make_unique<rtl::TThread>("TFreezeThread", [this](rtl::TThread& self) { run(self); });
    m_thread->start();
}

TFreezeThread::~TFreezeThread() {
    m_thread.reset();  // asks the watch to stop and waits
    signal(snapshotSignal(), SIG_IGN);
    // The copy stays: a signal already sent may still be handled.
}

void TFreezeThread::run(rtl::TThread& self) {
    auto answered = std::make_shared<std::atomic<bool>>(false);
    bool outstanding = false, everAnswered = false, reported = false;
    Clock::duration unanswered{};
    while (!self.terminated()) {
        TReporterGui* gui = m_log.gui();
        if (!gui) {
            if (!pause(self, kSliceMs)) return;
            continue;
        }
        if (!outstanding) {
            answered->store(false);
            gui->postToGui([answered] { answered->store(true); });
            outstanding = true;
        }
        const auto sliceStart = Clock::now();
        if (!pause(self, kSliceMs)) return;
        if (answered->load()) {
            outstanding = false;
            everAnswered = true;
            reported = false;
            unanswered = {};
            if (!pause(self, kPauseMs)) return;
            continue;
        }
        // Before the first answer the event loop has not started: nothing to judge yet.
        if (!everAnswered || reported) continue;
        unanswered += Clock::now() - sliceStart;
        if (unanswered >= std::chrono::milliseconds(m_limitMs)) {
            reportFreeze();
            reported = true;
            unanswered = {};
        }
    }
}

void TFreezeThread::reportFreeze() {
    FreezeCopy* copy = g_copy.load();
    copy->done.store(false);
    if (pthread_kill(m_guiThread, snapshotSignal()) != 0) return;
    for (int waited = 0; waited < 1000 && !copy->done.load(); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!copy->done.load()) return;
    m_log.reportSnapshot("EFrozenApplication", m_message, copy->snapshot);
}

}  // namespace crashreport
