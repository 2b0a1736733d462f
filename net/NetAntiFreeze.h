#pragma once
// Keeps the GUI alive while a network call blocks its thread: the socket
// layer waits in slices and calls YieldToUI between them, which pumps the
// GUI's pending events through two callbacks the GUI registers.
// Thread-safety: create, destroy and configure on the main thread. The class
// operations may be called from any thread; off the main thread they do
// nothing (IsEffective is false there).

#include <functional>

#include "net/NetComponent.h"

namespace net {

class TNetAntiFreezeBase : public TNetBaseComponent {
public:
    bool Active = true;
    bool ApplicationHasPriority = true;  // pump all pending events, else at most one
    int IdleTimeOut = 250;               // slice length in ms for socket waits
    bool OnlyWhenIdle = true;            // pump only after a slice without progress

    virtual void RunMessages() = 0;
};

class TNetAntiFreeze : public TNetAntiFreezeBase {
public:
    using PumpCallback = std::function<void()>;

    // The newest component becomes CurrentAntiFreeze.
    TNetAntiFreeze();
    // Leaves no component in effect, whichever one is freed.
    ~TNetAntiFreeze() override;
    TNetAntiFreeze(const TNetAntiFreeze&) = delete;
    TNetAntiFreeze& operator=(const TNetAntiFreeze&) = delete;

    // Runs the registered "all pending" or "at most one" callback.
    void RunMessages() override;

    static TNetAntiFreeze* CurrentAntiFreeze();
    // A component is current and active, and the caller is the main thread.
    static bool IsEffective();
    // idle: the slice ended without progress; force: pump regardless.
    static void YieldToUI(bool idle, bool force = false);
    // The GUI registers how to process all pending events and at most one.
    // Either may be empty (nothing is pumped then). Call on the main thread.
    static void SetMessagePump(PumpCallback processAll, PumpCallback processOne);
    // True on the process's main thread.
    static bool IsMainThread();
};

}  // namespace net
