#include "net/NetSocketHandle.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include "net/NetAntiFreeze.h"
#include "net/NetStackPosix.h"

namespace net {

TNetSocketHandle::TNetSocketHandle(int defaultPort) : Port(defaultPort) {}

TNetSocketHandle::~TNetSocketHandle() {
    try {
        CloseSocketHandle();
    } catch (...) {
        // The stack is gone; nothing more can be released.
    }
}

void TNetSocketHandle::AllocateHandle(int type, int protocol) {
    CloseSocketHandle();
    SocketHandle = GStack().NewSocket(type, protocol);
    HasHandle = true;
}

void TNetSocketHandle::CloseSocketHandle() {
    if (!HasHandle) return;
    HasHandle = false;
    TNetStack& stack = GStack();
    stack.StackShutdown(SocketHandle, SHUT_WR);
    stack.StackCloseSocket(SocketHandle);
}

// A released handle must never reach the old descriptor number: another
// part of the process may own it by now.
static int refuseReleased() {
    TNetStackPosix::SetLastError(kErrNotSocket);
    return SocketErrorResult;
}

int TNetSocketHandle::ConnectPeer(int family) {
    if (!HasHandle) return refuseReleased();
    const int result = GStack().StackConnect(SocketHandle, family, RemotePort, RemoteIP);
    if (result != SocketErrorResult) ReadAddresses();
    return result;
}

void TNetSocketHandle::ReadAddresses() {
    TNetStack& stack = GStack();
    int family = 0;
    stack.StackGetSockName(SocketHandle, family, IP, Port);
    stack.StackGetPeerName(SocketHandle, family, RemoteIP, RemotePort);
}

void TNetSocketHandle::BindLocal() {
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        if (!TryBindLocal())
            throw ENetCouldNotBindSocket("Could not bind socket. Address and port are already in use.");
        return;
    }
    if (ClientPortMax < ClientPortMin)
        throw ENetInvalidPortRange(rtl::format("Invalid Port Range (%d - %d)", ClientPortMin, ClientPortMax));
    for (int port = ClientPortMax; port >= ClientPortMin; --port) {
        Port = port;
        if (TryBindLocal()) return;
    }
    throw ENetCanNotBindPortInRange(rtl::format("Can not bind in port range (%d - %d)", ClientPortMin, ClientPortMax));
}

bool TNetSocketHandle::TryBindLocal() {
    TNetStack& stack = GStack();
    if (stack.CheckResult(stack.StackBind(SocketHandle, AF_INET, Port, IP), {kErrAddrInUse})) return false;
    int family = 0;
    stack.StackGetSockName(SocketHandle, family, IP, Port);
    return true;
}

// One select on this socket alone, then a chance for the GUI to pump.
bool TNetSocketHandle::waitSlice(int ms) {
    if (!HasHandle) throw ENetConnClosedGracefully();
    TNetSocketList readList;
    readList.Add(SocketHandle);
    const bool readable = GStack().StackSelect(&readList, nullptr, nullptr, ms) == 1;
    TNetAntiFreeze::YieldToUI(!readable);
    return readable;
}

bool TNetSocketHandle::WaitReadable(int ms) {
    if (!HasHandle) throw ENetConnClosedGracefully();
    TNetAntiFreeze* freeze = TNetAntiFreeze::CurrentAntiFreeze();
    if (!TNetAntiFreeze::IsEffective() || !freeze) return waitSlice(ms);
    // Read once: a handler run by the pump may free the component.
    const int slice = freeze->IdleTimeOut > 0 ? freeze->IdleTimeOut : 1;
    if (ms == Infinite) {
        while (!waitSlice(slice)) {
        }
        return true;
    }
    if (ms <= slice) return waitSlice(ms);
    // The first slice takes the remainder, the rest are whole slices.
    const int count = (ms + slice - 1) / slice;
    if (waitSlice(ms - (count - 1) * slice)) return true;
    for (int i = 1; i < count; ++i)
        if (waitSlice(slice)) return true;
    return false;
}

int TNetSocketHandle::Receive(void* buffer, int length, int flags) {
    if (!HasHandle) return refuseReleased();
    return GStack().StackRecv(SocketHandle, buffer, flags, length);
}

int TNetSocketHandle::Send(const void* buffer, int length) {
    if (!HasHandle) return refuseReleased();
    return GStack().StackSend(SocketHandle, buffer, 0, length);
}

int TNetSocketHandle::ReceiveFrom(void* buffer, int length, std::string& ip, int& port) {
    if (!HasHandle) return refuseReleased();
    return GStack().StackRecvFrom(SocketHandle, buffer, 0, length, ip, port);
}

void TNetSocketHandle::SetSockOpt(int level, int name, const void* value, int length) {
    TNetStack& stack = GStack();
    const int result = HasHandle ? stack.StackSetSockOpt(SocketHandle, level, name, value, length) : refuseReleased();
    stack.CheckResult(result);
}

void TNetSocketHandle::SetPeer(const std::string& ip, int port) {
    RemoteIP = ip;
    RemotePort = port;
}

}  // namespace net
