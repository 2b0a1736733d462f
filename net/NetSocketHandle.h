#pragma once
// One socket of the stack: allocate, bind (also into a port range from the
// top down), connect, wait for data in slices that let the GUI pump, close.
// Thread-safety: owned and used by one thread; the connect worker may call
// ConnectPeer while the owner waits for it. Needs a live TNetComponent (the
// stack) for every operation.

#include <string>

#include "net/NetStack.h"

namespace net {

class TNetSocketHandle {
public:
    // defaultPort: the owning collection's default local port.
    explicit TNetSocketHandle(int defaultPort = 0);
    // Closes the socket if one is held.
    virtual ~TNetSocketHandle();
    TNetSocketHandle(const TNetSocketHandle&) = delete;
    TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;

    TNetSocket SocketHandle = InvalidNetSocket;  // keeps its value after a close
    bool HasHandle = false;
    std::string IP;        // local address; empty: any
    int Port = 0;          // local port; 0: any
    std::string RemoteIP;
    int RemotePort = 0;
    int ClientPortMin = 0;
    int ClientPortMax = 0;

    // Closes a socket left from before, then allocates a new AF_INET one.
    void AllocateHandle(int type, int protocol);
    // Shuts down sending and closes; only when HasHandle. Results are ignored.
    virtual void CloseSocketHandle();
    // Connects to RemoteIP:RemotePort; returns the raw result (-1 on failure)
    // and on success reads both addresses back.
    virtual int ConnectPeer(int family);
    // Reads IP/Port and RemoteIP/RemotePort from the connected socket.
    void ReadAddresses();
    // One bind, or the range ClientPortMax down to ClientPortMin.
    void BindLocal();
    // False when the address is in use; other failures raise ENetSocketError.
    bool TryBindLocal();
    // True when data (or the peer's close) can be read within ms (or Infinite).
    // Raises ENetConnClosedGracefully when the socket was released, also
    // between slices.
    bool WaitReadable(int ms);
    int Receive(void* buffer, int length, int flags = 0);
    int Send(const void* buffer, int length);
    virtual int ReceiveFrom(void* buffer, int length, std::string& ip, int& port);
    // Raises ENetSocketError on failure.
    void SetSockOpt(int level, int name, const void* value, int length);
    void SetPeer(const std::string& ip, int port);

private:
    bool waitSlice(int ms);
};

}  // namespace net
