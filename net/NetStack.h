#pragma once
// The process-wide socket stack: one object that wraps every socket call of
// the client (IPv4 only), turns failures into exceptions with the fixed
// socket error numbers and texts, and lives as long as any TNetComponent.
// Thread-safety: the stack's operations take no lock and may be called from
// any thread; creation and destruction are serialised by StackLock. The last
// error code is kept per thread, as the socket calls report it.

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "net/NetException.h"

namespace net {

// Time-outs in milliseconds, or one of these.
constexpr int UseDefault = -1;  // the connection's ReadTimeout
constexpr int Infinite = -2;    // no limit

// A wait limit of a connection read: milliseconds, UseDefault or Infinite.
class TNetTimeout {
public:
    constexpr TNetTimeout(int value = UseDefault) : m_value(value) {}  // NOLINT: a plain number is a limit in ms
    constexpr bool IsDefault() const { return m_value == UseDefault; }
    // The wait to hand to a socket call (ms or Infinite); the default is the
    // connection's readTimeout, whose 0 means no limit.
    constexpr int Resolve(int readTimeout) const {
        if (!IsDefault()) return m_value;
        return readTimeout == 0 ? Infinite : readTimeout;
    }

private:
    int m_value;
};

using TNetSocket = int;
constexpr TNetSocket InvalidNetSocket = -1;
constexpr int SocketErrorResult = -1;

// Socket error numbers the layers test for by name.
constexpr int kErrInterrupted = 10004;
constexpr int kErrBadFile = 10009;
constexpr int kErrWouldBlock = 10035;
constexpr int kErrNotSocket = 10038;
constexpr int kErrAddrInUse = 10048;
constexpr int kErrConnAborted = 10053;
constexpr int kErrConnReset = 10054;
constexpr int kErrShutdown = 10058;
constexpr int kErrConnRefused = 10061;
constexpr int kErrHostNotFound = 11001;

RTL_DECLARE_EXCEPTION(ENetSilentException, ENetException);
RTL_DECLARE_EXCEPTION(ENetStackError, ENetException);
RTL_DECLARE_EXCEPTION(ENetStackInitializationFailed, ENetStackError);
RTL_DECLARE_EXCEPTION(ENetStackSetSizeExceeded, ENetStackError);
RTL_DECLARE_EXCEPTION(ENetInvalidServiceName, ENetException);
RTL_DECLARE_EXCEPTION(ENetInvalidSocket, ENetException);
RTL_DECLARE_EXCEPTION(ENetSocketHandleError, ENetException);
RTL_DECLARE_EXCEPTION(ENetCouldNotBindSocket, ENetSocketHandleError);
RTL_DECLARE_EXCEPTION(ENetCanNotBindPortInRange, ENetSocketHandleError);
RTL_DECLARE_EXCEPTION(ENetInvalidPortRange, ENetSocketHandleError);
// A text that should have been a number (ParseIPv4, service ports).
RTL_DECLARE_EXCEPTION(ENetConvertError, ENetException);

// The peer (or our own close) ended the connection: not an error for the user.
class ENetConnClosedGracefully : public ENetSilentException {
public:
    ENetConnClosedGracefully();
    const char* className() const noexcept override { return "ENetConnClosedGracefully"; }
};

// A failed socket call; message "Socket Error # %d\r\n%s" from ErrorText.
class ENetSocketError : public ENetException {
public:
    ENetSocketError(int code, std::string message) : ENetException(std::move(message)), m_code(code) {}
    int code() const noexcept { return m_code; }
    const char* className() const noexcept override { return "ENetSocketError"; }

private:
    int m_code;
};

// Failure of the socket library binding. There is no run-time binding on this
// platform; the class is kept so callers can catch it by its design name.
// Message: the title, then ": " and the system text when code is non-zero.
class ENetWS2StubError : public ENetException {
public:
    ENetWS2StubError(std::string title, int code);
    const std::string& title() const noexcept { return m_title; }
    int win32Error() const noexcept { return m_code; }
    const std::string& win32ErrorText() const noexcept { return m_text; }
    const char* className() const noexcept override { return "ENetWS2StubError"; }

private:
    std::string m_title;
    int m_code;
    std::string m_text;
};

// A set of at most 64 sockets, for StackSelect. Removing moves the last one
// into the freed place. Used by one thread at a time.
class TNetSocketList {
public:
    static constexpr int kMaxSockets = 64;
    void Add(TNetSocket socket);     // raises ENetStackSetSizeExceeded on the 65th
    void Remove(TNetSocket socket);  // absent sockets are ignored
    void Clear() { m_count = 0; }
    int Count() const { return m_count; }
    TNetSocket Item(int index) const;  // raises ENetStackSetSizeExceeded outside 0..Count-1
    bool Contains(TNetSocket socket) const;

private:
    TNetSocket m_items[kMaxSockets] = {};
    int m_count = 0;
};

// The abstract stack; TNetStackPosix implements it on BSD sockets.
class TNetStack {
public:
    virtual ~TNetStack() = default;

    virtual void FillLocalAddresses() = 0;
    std::string FirstLocalAddress();
    // Refills the list and returns it; the stack owns it.
    const std::vector<std::string>& LocalAddresses();

    virtual TNetSocket StackAccept(TNetSocket s, std::string& peerIP, int& peerPort) = 0;
    virtual int StackBind(TNetSocket s, int family, int port, const std::string& ip) = 0;
    virtual int StackCloseSocket(TNetSocket s) = 0;
    virtual int StackConnect(TNetSocket s, int family, int port, const std::string& ip) = 0;
    virtual std::string StackGetHostByName(const std::string& host) = 0;
    virtual std::string StackGetHostName() = 0;
    virtual std::string StackGetHostByAddr(const std::string& ip) = 0;
    virtual int StackGetServByName(const std::string& name) = 0;
    // The service name followed by its aliases; empty when unknown.
    virtual std::vector<std::string> StackGetServByPort(int port) = 0;
    virtual uint16_t StackHToNs(uint16_t value) = 0;
    virtual int StackListen(TNetSocket s, int backlog) = 0;
    virtual uint16_t StackNToHs(uint16_t value) = 0;
    virtual uint32_t StackHToNL(uint32_t value) = 0;
    virtual uint32_t StackNToHL(uint32_t value) = 0;
    virtual int StackRecv(TNetSocket s, void* buffer, int flags, int length) = 0;
    virtual int StackRecvFrom(TNetSocket s, void* buffer, int flags, int length, std::string& ip, int& port) = 0;
    // Lists that are given are replaced by their ready sockets. timeout in ms or Infinite.
    virtual int StackSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error, int timeout) = 0;
    virtual int StackSend(TNetSocket s, const void* buffer, int flags, int length) = 0;
    virtual int StackSendTo(TNetSocket s, const void* buffer, int flags, int length, const std::string& ip, int port) = 0;
    virtual int StackSetSockOpt(TNetSocket s, int level, int name, const void* value, int length) = 0;
    virtual TNetSocket StackSocket(int family, int type, int protocol) = 0;
    virtual int StackShutdown(TNetSocket s, int how) = 0;
    virtual std::string ErrorText(int code);
    // The socket error number of the calling thread's last failed call.
    virtual int StackGetLastError() = 0;
    virtual void StackGetPeerName(TNetSocket s, int& family, std::string& ip, int& port) = 0;
    virtual void StackGetSockName(TNetSocket s, int& family, std::string& ip, int& port) = 0;
    virtual int StackGetSockOpt(TNetSocket s, int level, int name, void* value, int* length) = 0;
    // address: 4 bytes in text order (network order).
    virtual std::string FormatIPv4(uint32_t address);

    // False unless result is -1; true when the error is one of tolerated;
    // otherwise raises ENetSocketError. Stores the code in LastErrorCode.
    bool CheckResult(int result, std::initializer_list<int> tolerated = {});
    [[noreturn]] void RaiseError(int code);
    TNetSocket NewSocket(int type, int protocol);
    // "localhost" in any case gives 127.0.0.1 without a lookup; addresses pass unchanged.
    std::string HostToIP(const std::string& host);
    static bool LooksLikeIP(const std::string& text);
    // Raises ENetConvertError for a piece that is not a number in 0..255.
    static uint32_t ParseIPv4(const std::string& text);

    int LastErrorCode() const { return m_lastErrorCode.load(); }

protected:
    TNetStack() = default;
    std::vector<std::string>& LocalAddressList() { return m_localAddresses; }

private:
    std::atomic<int> m_lastErrorCode{0};
    std::vector<std::string> m_localAddresses;
};

// The stack of the process while any component lives; null otherwise.
TNetStack* TheStack();
// The stack, or ENetStackError when no component holds it.
TNetStack& GStack();
std::mutex& StackLock();
int LiveComponentCount();
// Called by every TNetComponent constructor / destructor.
void AcquireStack();
void ReleaseStack();

}  // namespace net
