#pragma once
// The socket stack on BSD sockets. errno values and name-lookup failures are
// reported with the socket error numbers of the stack's table (ECONNREFUSED
// is 10061, a name that does not resolve 11001, ...).
// Thread-safety: safe from any thread; the last error code is per thread.

#include "net/NetStack.h"

namespace net {

class TNetStackPosix : public TNetStack {
public:
    TNetStackPosix() = default;

    void FillLocalAddresses() override;
    TNetSocket StackAccept(TNetSocket s, std::string& peerIP, int& peerPort) override;
    int StackBind(TNetSocket s, int family, int port, const std::string& ip) override;
    int StackCloseSocket(TNetSocket s) override;
    int StackConnect(TNetSocket s, int family, int port, const std::string& ip) override;
    std::string StackGetHostByName(const std::string& host) override;
    std::string StackGetHostName() override;
    std::string StackGetHostByAddr(const std::string& ip) override;
    int StackGetServByName(const std::string& name) override;
    std::vector<std::string> StackGetServByPort(int port) override;
    uint16_t StackHToNs(uint16_t value) override;
    int StackListen(TNetSocket s, int backlog) override;
    uint16_t StackNToHs(uint16_t value) override;
    uint32_t StackHToNL(uint32_t value) override;
    uint32_t StackNToHL(uint32_t value) override;
    int StackRecv(TNetSocket s, void* buffer, int flags, int length) override;
    int StackRecvFrom(TNetSocket s, void* buffer, int flags, int length, std::string& ip, int& port) override;
    int StackSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error, int timeout) override;
    int StackSend(TNetSocket s, const void* buffer, int flags, int length) override;
    int StackSendTo(TNetSocket s, const void* buffer, int flags, int length, const std::string& ip,
                    int port) override;
    int StackSetSockOpt(TNetSocket s, int level, int name, const void* value, int length) override;
    TNetSocket StackSocket(int family, int type, int protocol) override;
    int StackShutdown(TNetSocket s, int how) override;
    int StackGetLastError() override;
    void StackGetPeerName(TNetSocket s, int& family, std::string& ip, int& port) override;
    void StackGetSockName(TNetSocket s, int& family, std::string& ip, int& port) override;
    int StackGetSockOpt(TNetSocket s, int level, int name, void* value, int* length) override;

    // Socket error number for an errno value; unknown values pass unchanged.
    static int TranslateErrno(int error);
    // Socket error number for a getaddrinfo/getnameinfo result.
    static int TranslateLookupError(int error);
    // Sets the calling thread's last error (what StackGetLastError returns).
    static void SetLastError(int code);

private:
    std::vector<std::string> lookupAll(const std::string& host);
};

}  // namespace net
