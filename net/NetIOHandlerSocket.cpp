#include "net/NetIOHandlerSocket.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/NetAntiFreeze.h"
#include "net/NetConnectionErrors.h"
#include "net/NetStackPosix.h"
#include "rtl/Thread.h"

namespace net {

namespace {

// What the connect worker and the waiting thread share.
struct ConnectState {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::string errorText;
};

// The worker connects a duplicate of the descriptor, so closing the original
// (a timeout, or the user's Stop) aborts the connect without letting the
// worker touch a descriptor number that may have been reused meanwhile.
void connectBody(int fd, std::string ip, int port, ConnectState& state) {
    std::string error;
    try {
        TNetStack& stack = GStack();
        stack.CheckResult(stack.StackConnect(fd, AF_INET, port, ip), {kErrBadFile, kErrNotSocket});
    } catch (const std::exception& e) {
        error = e.what();
    }
    ::close(fd);
    std::lock_guard<std::mutex> guard(state.lock);
    state.errorText = std::move(error);
    state.finished = true;
    state.done.notify_all();
}

// Waits up to ms for the worker; true when it has finished.
bool waitForWorker(ConnectState& state, int ms) {
    std::unique_lock<std::mutex> guard(state.lock);
    return state.done.wait_for(guard, std::chrono::milliseconds(std::max(ms, 0)), [&] { return state.finished; });
}

// Waits for the worker in slices, pumping after each; true when it finished.
bool waitSliced(ConnectState& state, int timeout, int slice) {
    int remaining = timeout == Infinite ? slice + 1 : timeout;
    while (remaining > slice) {
        if (waitForWorker(state, slice)) return true;
        remaining = timeout == Infinite ? slice + 1 : remaining - slice;
        TNetAntiFreeze::YieldToUI(true);
    }
    return waitForWorker(state, remaining);
}

}  // namespace

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
    try {
        ShutTransport();
    } catch (...) {
    }
}

TNetSocksInfo& TNetIOHandlerSocket::SocksInfo() {
    if (!m_socksInfo) m_socksInfo = std::make_shared<TNetSocksInfo>();
    return *m_socksInfo;
}

void TNetIOHandlerSocket::PrepareTransport() {
    if (!m_handle) {
        m_handle = std::make_unique<TNetSocketHandle>();
        return;
    }
    m_handle->CloseSocketHandle();
    m_handle->SocketHandle = InvalidNetSocket;
    m_handle->IP.clear();
    m_handle->Port = 0;
    m_handle->RemoteIP.clear();
    m_handle->RemotePort = 0;
    m_handle->ClientPortMin = 0;
    m_handle->ClientPortMax = 0;
}

void TNetIOHandlerSocket::OpenClient(const std::string& host, int port, const std::string& boundIP, int boundPort,
                                     int boundPortLow, int boundPortHigh, int timeout) {
    if (!m_handle) PrepareTransport();
    TNetSocksInfo& socks = SocksInfo();
    const bool viaSocks = socks.Version != TSocksVersion::svNoSocks;
    const std::string target = viaSocks ? socks.Host : host;
    const int targetPort = viaSocks ? socks.Port : port;

    m_handle->AllocateHandle(SOCK_STREAM, 0);
    m_handle->IP = boundIP;
    m_handle->Port = boundPort;
    m_handle->ClientPortMin = boundPortLow;
    m_handle->ClientPortMax = boundPortHigh;
    // Any address and any port: connect picks them, far cheaper than an
    // explicit bind once many closed connections linger in the kernel.
    const bool bindAnything = boundPort != 0 || !(boundIP.empty() || boundIP == "0.0.0.0") ||
                              (boundPortLow != 0 && boundPortHigh != 0);
    if (bindAnything) m_handle->BindLocal();

    if (!TNetStack::LooksLikeIP(target)) ReportStatus(TNetStatus::hsResolving, target);
    m_handle->SetPeer(GStack().HostToIP(target), targetPort);
    if (!UseNagle) {
        const int on = 1;
        m_handle->SetSockOpt(IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ReportStatus(TNetStatus::hsConnecting, m_handle->RemoteIP);
    // A status handler may have closed the connection (the user's Stop).
    if (!m_handle->HasHandle) throw ENetConnClosedGracefully();

    if (timeout != UseDefault && timeout != 0)
        ConnectWithTimeout(timeout);
    else if (TNetAntiFreeze::IsEffective())
        ConnectWithTimeout(kDefaultConnectTimeoutMs);
    else
        GStack().CheckResult(m_handle->ConnectPeer(AF_INET));

    socks.NegotiateSocks(*this, host, port);
}

void TNetIOHandlerSocket::ConnectWithTimeout(int timeout) {
    const int fd = ::dup(m_handle->SocketHandle);
    if (fd < 0) throw ENetConnectException(GStack().ErrorText(TNetStackPosix::TranslateErrno(errno)));
    auto state = std::make_shared<ConnectState>();
    rtl::TThread worker("TNetConnectThread",
                        [fd, ip = m_handle->RemoteIP, port = m_handle->RemotePort, state](rtl::TThread&) {
                            connectBody(fd, ip, port, *state);
                        });
    worker.start();

    int slice = kConnectSliceMs;
    if (TNetAntiFreeze::IsEffective())
        if (TNetAntiFreeze* freeze = TNetAntiFreeze::CurrentAntiFreeze())
            slice = std::clamp(freeze->IdleTimeOut, 1, kConnectSliceMs);
    bool finished = false;
    try {
        finished = waitSliced(*state, timeout, slice);
    } catch (...) {
        ShutTransport();  // a pumped handler raised: do not leave the connect running
        worker.waitFor();
        throw;
    }
    if (!finished) {
        worker.terminate();
        ShutTransport();  // aborts the pending connect
        worker.waitFor();
        throw ENetConnectTimeout(text::kConnectTimedOut);
    }
    worker.waitFor();
    // Closed by a pumped handler (the user's Stop): that, not the aborted connect, is the outcome.
    if (!m_handle->HasHandle) throw ENetConnClosedGracefully();
    if (!state->errorText.empty()) throw ENetConnectException(state->errorText);
    m_handle->ReadAddresses();
}

bool TNetIOHandlerSocket::IsOpen() { return m_handle && m_handle->HasHandle; }

bool TNetIOHandlerSocket::WaitReadable(int timeout) {
    if (!m_handle) throw ENetConnClosedGracefully();
    return m_handle->WaitReadable(timeout);
}

int TNetIOHandlerSocket::ReceiveBytes(void* buffer, int length) {
    if (!IsOpen()) throw ENetClosedSocket(text::kClosedSocket);
    return m_handle->Receive(buffer, length);
}

int TNetIOHandlerSocket::TryReceiveBytes(void* buffer, int length) {
    if (!IsOpen()) return kNothingWaiting;
    const int n = m_handle->Receive(buffer, length, MSG_DONTWAIT);
    if (n == SocketErrorResult && GStack().StackGetLastError() == kErrWouldBlock) return kNothingWaiting;
    return n;
}

int TNetIOHandlerSocket::SendBytes(const void* buffer, int length) {
    if (!IsOpen()) throw ENetClosedSocket(text::kClosedSocket);
    return m_handle->Send(buffer, length);
}

void TNetIOHandlerSocket::ShutTransport() {
    if (m_handle) m_handle->CloseSocketHandle();
}

}  // namespace net
