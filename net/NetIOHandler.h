#pragma once
// The transport under a TNetTCPConnection. This base does nothing: it is
// never open, waits find nothing and transfers move no bytes.
// Thread-safety: one thread at a time.

#include <string>

#include "net/NetComponent.h"

namespace net {

class TNetIOHandler : public TNetComponent {
public:
    virtual void AfterAccept() {}
    // Releases the socket (shutdown for sending, close).
    virtual void ShutTransport() {}
    virtual void OpenClient(const std::string& /*host*/, int /*port*/, const std::string& /*boundIP*/,
                            int /*boundPort*/, int /*boundPortLow*/, int /*boundPortHigh*/, int /*timeout*/) {}
    virtual bool IsOpen() { return false; }
    virtual void PrepareTransport() {}
    virtual bool WaitReadable(int /*timeout*/) { return false; }
    static constexpr int kNothingWaiting = -2;

    // The raw socket result: a byte count, 0 for the peer's close, -1 on failure.
    virtual int ReceiveBytes(void* /*buffer*/, int /*length*/) { return 0; }
    // Like ReceiveBytes, but returns kNothingWaiting at once when no byte (and
    // no close) is waiting. Lets a bulk reader skip the wait while data flows.
    virtual int TryReceiveBytes(void* /*buffer*/, int /*length*/) { return kNothingWaiting; }
    virtual int SendBytes(const void* /*buffer*/, int /*length*/) { return 0; }
};

}  // namespace net
