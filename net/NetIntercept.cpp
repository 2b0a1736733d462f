#include "net/NetIntercept.h"

namespace net {

void TNetConnectionIntercept::AttachIntercept(TNetTCPConnection* connection) {
    m_connection = connection;
    if (OnConnect) OnConnect(*this);
    if (Intercept) Intercept->AttachIntercept(connection);
}

void TNetConnectionIntercept::DetachIntercept() {
    if (Intercept) Intercept->DetachIntercept();
    if (OnDisconnect) OnDisconnect(*this);
    m_connection = nullptr;
}

void TNetConnectionIntercept::FilterReceived(rtl::TStream& stream) {
    if (Intercept) Intercept->FilterReceived(stream);
    if (OnReceive) OnReceive(*this, stream);
    stream.setPosition(0);
}

void TNetConnectionIntercept::FilterSent(rtl::TStream& stream) {
    if (OnSend) OnSend(*this, stream);
    stream.setPosition(0);
    if (Intercept) Intercept->FilterSent(stream);
}

}  // namespace net
