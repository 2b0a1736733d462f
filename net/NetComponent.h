#pragma once
// Component bases of the network layer. TNetComponent holds the process-wide
// socket stack while it lives and reports progress (work events) and
// connection stages (status events) on the calling thread.
// Thread-safety: one thread at a time per component; construction and
// destruction may happen on any thread (the stack is guarded by StackLock).

#include <cstdint>
#include <functional>
#include <string>

#include "net/NetStack.h"

namespace net {

enum class TWorkMode { wmRead, wmWrite };

enum class TNetStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText
};

class TNetBaseComponent {
public:
    virtual ~TNetBaseComponent() = default;
};

class TNetComponent : public TNetBaseComponent {
public:
    using TNetStatusEvent = std::function<void(TNetComponent& sender, TNetStatus status, const std::string& text)>;
    using TWorkBeginEvent = std::function<void(TNetComponent& sender, TWorkMode mode, int64_t workCountMax)>;
    using TWorkEvent = std::function<void(TNetComponent& sender, TWorkMode mode, int64_t workCount)>;
    using TWorkEndEvent = std::function<void(TNetComponent& sender, TWorkMode mode)>;

    // Creates the stack for the first live component.
    TNetComponent();
    // Frees the stack with the last live component.
    ~TNetComponent() override;
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;

    TNetStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    // Brackets of one mode nest; only the outermost fires OnWorkBegin/OnWorkEnd.
    virtual void StartWork(TWorkMode mode, int64_t maximum);
    // Inside a bracket: adds count and fires OnWork with the running total.
    virtual void AddWork(TWorkMode mode, int64_t count);
    virtual void FinishWork(TWorkMode mode);
    // Fires OnStatus with the status's text, formatted with argument.
    void ReportStatus(TNetStatus status, const std::string& argument = std::string());

    static std::string StatusText(TNetStatus status, const std::string& argument);

protected:
    TNetStack& Stack() { return GStack(); }

private:
    struct WorkInfo {
        int64_t position = 0;
        int64_t maximum = 0;
        int level = 0;
    };
    WorkInfo m_work[2];
};

}  // namespace net
