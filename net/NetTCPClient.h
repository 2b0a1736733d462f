#pragma once
// A TCP connection that opens itself to Host:Port, creating (and owning) a
// socket transport when none was set.
// Thread-safety: one thread at a time (normally the GUI thread).

#include <functional>
#include <string>

#include "net/NetTCPConnection.h"

namespace net {

class TNetTCPClient : public TNetTCPConnection {
public:
    using TNotifyEvent = TNetTCPConnection::TNotifyEvent;

    std::string BoundIP;
    int BoundPort = 0;
    int BoundPortLow = 0;
    int BoundPortHigh = 0;
    TNotifyEvent OnConnected;

    const std::string& Host() const { return m_host; }
    virtual void SetHost(const std::string& host) { m_host = host; }
    int Port() const { return m_port; }
    virtual void SetPort(int port) { m_port = port; }

    virtual void NotifyConnected();
    // timeout: ms, Infinite, or UseDefault / 0 (on the worker thread with a
    // two-minute limit while the GUI pumps, else a plain blocking connect).
    // Raises ENetAlreadyConnected on an open transport; any failure drops the socket.
    virtual void OpenConnection(int timeout = UseDefault);
    virtual std::string OpenAndReadAll(int timeout = UseDefault);

private:
    std::string m_host;
    int m_port = 0;
};

}  // namespace net
