#pragma once
// A filter that sees every byte of a connection: received bytes pass the
// chained intercept first, then OnReceive; sent bytes pass OnSend first, then
// the chained intercept. A filter may change the stream's length.
// Thread-safety: used by the connection's thread only.

#include <functional>
#include <memory>

#include "net/NetComponent.h"
#include "rtl/Stream.h"

namespace net {

class TNetTCPConnection;

class TNetConnectionIntercept : public TNetBaseComponent {
public:
    using TNetInterceptNotifyEvent = std::function<void(TNetConnectionIntercept& sender)>;
    using TNetInterceptStreamEvent = std::function<void(TNetConnectionIntercept& sender, rtl::TStream& stream)>;

    TNetInterceptNotifyEvent OnConnect;
    TNetInterceptNotifyEvent OnDisconnect;
    TNetInterceptStreamEvent OnReceive;
    TNetInterceptStreamEvent OnSend;

    // The next filter in the chain; may be null.
    std::shared_ptr<TNetConnectionIntercept> Intercept;

    // Remembers the connection (not owned), fires OnConnect, attaches the chain.
    virtual void AttachIntercept(TNetTCPConnection* connection);
    // Chain first, then OnDisconnect, then forgets the connection.
    virtual void DetachIntercept();
    virtual void FilterReceived(rtl::TStream& stream);
    virtual void FilterSent(rtl::TStream& stream);

    TNetTCPConnection* Connection() const { return m_connection; }

private:
    TNetTCPConnection* m_connection = nullptr;
};

}  // namespace net
