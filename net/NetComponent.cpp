#include "net/NetComponent.h"

namespace net {

namespace {

struct StatusEntry {
    TNetStatus status;
    const char* text;
};

constexpr StatusEntry kStatusTable[] = {
    {TNetStatus::hsResolving, "Resolving hostname %s."},
    {TNetStatus::hsConnecting, "Connecting to %s."},
    {TNetStatus::hsConnected, "Connected."},
    {TNetStatus::hsDisconnecting, "Disconnecting."},
    {TNetStatus::hsDisconnected, "Disconnected."},
};

}  // namespace

TNetComponent::TNetComponent() { AcquireStack(); }

TNetComponent::~TNetComponent() { ReleaseStack(); }

void TNetComponent::StartWork(TWorkMode mode, int64_t maximum) {
    WorkInfo& work = m_work[static_cast<int>(mode)];
    if (++work.level == 1) {
        work.maximum = maximum;
        work.position = 0;
        if (OnWorkBegin) OnWorkBegin(*this, mode, maximum);
    }
}

void TNetComponent::AddWork(TWorkMode mode, int64_t count) {
    WorkInfo& work = m_work[static_cast<int>(mode)];
    if (work.level < 1) return;
    work.position += count;
    if (OnWork) OnWork(*this, mode, work.position);
}

void TNetComponent::FinishWork(TWorkMode mode) {
    WorkInfo& work = m_work[static_cast<int>(mode)];
    if (work.level == 1 && OnWorkEnd) OnWorkEnd(*this, mode);
    if (work.level > 0) --work.level;
}

std::string TNetComponent::StatusText(TNetStatus status, const std::string& argument) {
    for (const auto& entry : kStatusTable)
        if (entry.status == status) return rtl::format(entry.text, argument.c_str());
    return argument;  // hsStatusText: "%s"
}

void TNetComponent::ReportStatus(TNetStatus status, const std::string& argument) {
    if (OnStatus) OnStatus(*this, status, StatusText(status, argument));
}

}  // namespace net
