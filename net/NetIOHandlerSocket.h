#pragma once
// The socket transport: one TNetSocketHandle, optional SOCKS negotiation,
// and a connect that can run on a worker thread while the calling (GUI)
// thread waits in slices and pumps.
// Thread-safety: one thread at a time; ConnectWithTimeout's worker touches
// only its own duplicate of the socket descriptor.

#include <memory>
#include <string>

#include "net/NetIOHandler.h"
#include "net/NetSocketHandle.h"
#include "net/NetSocks.h"

namespace net {

class TNetIOHandlerSocket : public TNetIOHandler {
public:
    static constexpr int kConnectSliceMs = 125;
    static constexpr int kDefaultConnectTimeoutMs = 120000;

    TNetIOHandlerSocket() = default;
    ~TNetIOHandlerSocket() override;

    bool UseNagle = true;

    // Created on first use when none was assigned.
    TNetSocksInfo& SocksInfo();
    void SetSocksInfo(std::shared_ptr<TNetSocksInfo> info) { m_socksInfo = std::move(info); }

    // Resets the socket handle (no socket, empty addresses), creating it once.
    void PrepareTransport() override;
    // Allocates, binds, resolves, connects (timeout: ms, Infinite, UseDefault
    // or 0), then runs the SOCKS negotiation for host:port.
    void OpenClient(const std::string& host, int port, const std::string& boundIP, int boundPort,
                    int boundPortLow, int boundPortHigh, int timeout) override;
    bool IsOpen() override;
    bool WaitReadable(int timeout) override;
    // Raise ENetClosedSocket "Disconnected." without a socket.
    int ReceiveBytes(void* buffer, int length) override;
    int TryReceiveBytes(void* buffer, int length) override;
    int SendBytes(const void* buffer, int length) override;
    void ShutTransport() override;

    // Connects on a worker thread; raises ENetConnectTimeout "Connect timed
    // out." when it has not finished in time, ENetConnectException with the
    // worker's error text when it failed.
    void ConnectWithTimeout(int timeout);

    // The socket handle; null before PrepareTransport.
    TNetSocketHandle* Handle() { return m_handle.get(); }

private:
    std::unique_ptr<TNetSocketHandle> m_handle;
    std::shared_ptr<TNetSocksInfo> m_socksInfo;
};

}  // namespace net
