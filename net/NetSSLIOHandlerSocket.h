#pragma once
// The TLS transport the HTTP client switches between plain and secure use.
// Only the switch is defined here; a concrete transport implements the
// handshake. Until one exists, https requests fail with "IOHandler value is
// not valid" (no handler of this kind can be set).
// Thread-safety: one thread at a time.

#include "net/NetIOHandlerSocket.h"

namespace net {

class TNetSSLIOHandlerSocket : public TNetIOHandlerSocket {
public:
    // true: bytes pass unencrypted (plain http, or before a tunnel is up);
    // false: the transport runs TLS.
    bool PassThrough() const { return m_passThrough; }
    virtual void SetPassThrough(bool value) = 0;

protected:
    bool m_passThrough = true;
};

}  // namespace net
