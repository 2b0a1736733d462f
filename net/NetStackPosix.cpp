#include "net/NetStackPosix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {

namespace {

thread_local int t_lastError = 0;

struct ErrnoEntry {
    int error;
    int code;
};

constexpr ErrnoEntry kErrnoTable[] = {
    {EINTR, 10004},         {EBADF, 10009},           {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},        {EMFILE, 10024},          {EAGAIN, 10035},          {EINPROGRESS, 10036},
    {EALREADY, 10037},      {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},     {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},        {ENETUNREACH, 10051},     {ENETRESET, 10052},
    {ECONNABORTED, 10053},  {ECONNRESET, 10054},      {ENOBUFS, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},      {ESHUTDOWN, 10058},       {EPIPE, 10058},           {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061},    {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},       {ENFILE, 10024},
};

int failWithErrno() {
    t_lastError = TNetStackPosix::TranslateErrno(errno);
    return SocketErrorResult;
}

sockaddr_in makeAddress(int family, int port, const std::string& ip) {
    sockaddr_in address{};
    address.sin_family = static_cast<sa_family_t>(family);
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = ip.empty() ? htonl(INADDR_ANY) : TNetStack::ParseIPv4(ip);
    return address;
}

void readAddress(const sockaddr_in& address, TNetStack& stack, int& family, std::string& ip, int& port) {
    family = address.sin_family;
    ip = stack.FormatIPv4(address.sin_addr.s_addr);
    port = ntohs(address.sin_port);
}

void addToPoll(std::vector<pollfd>& fds, const TNetSocketList* list, short events) {
    if (!list) return;
    for (int i = 0; i < list->Count(); ++i) fds.push_back(pollfd{list->Item(i), events, 0});
}

// Keeps in list the sockets whose poll entries report one of events.
void keepReady(TNetSocketList* list, const std::vector<pollfd>& fds, size_t& at, short events) {
    if (!list) return;
    TNetSocketList ready;
    for (int i = 0; i < list->Count(); ++i, ++at)
        if (fds[at].revents & events) ready.Add(fds[at].fd);
    *list = ready;
}

}  // namespace

int TNetStackPosix::TranslateErrno(int error) {
    if (error == EWOULDBLOCK) return 10035;
    for (const auto& entry : kErrnoTable)
        if (entry.error == error) return entry.code;
    return error;
}

int TNetStackPosix::TranslateLookupError(int error) {
    switch (error) {
        case EAI_NONAME: return 11001;
#ifdef EAI_NODATA
        case EAI_NODATA: return 11004;
#endif
        case EAI_AGAIN: return 11002;
        case EAI_FAIL: return 11003;
        case EAI_SYSTEM: return TranslateErrno(errno);
        default: return 11003;
    }
}

void TNetStackPosix::SetLastError(int code) { t_lastError = code; }

int TNetStackPosix::StackGetLastError() { return t_lastError; }

std::vector<std::string> TNetStackPosix::lookupAll(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    std::vector<std::string> addresses;
    if (rc != 0) {
        t_lastError = TranslateLookupError(rc);
        CheckResult(SocketErrorResult);
    }
    for (addrinfo* p = result; p; p = p->ai_next) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(p->ai_addr);
        addresses.push_back(FormatIPv4(in->sin_addr.s_addr));
    }
    freeaddrinfo(result);
    if (addresses.empty()) {
        t_lastError = kErrHostNotFound;
        CheckResult(SocketErrorResult);
    }
    return addresses;
}

std::string TNetStackPosix::StackGetHostByName(const std::string& host) { return lookupAll(host).front(); }

std::string TNetStackPosix::StackGetHostName() {
    char name[251] = {};
    if (gethostname(name, 250) != 0) CheckResult(failWithErrno());
    name[250] = '\0';
    return name;
}

void TNetStackPosix::FillLocalAddresses() {
    auto& list = LocalAddressList();
    list.clear();
    list = lookupAll(StackGetHostName());
}

std::string TNetStackPosix::StackGetHostByAddr(const std::string& ip) {
    sockaddr_in address = makeAddress(AF_INET, 0, ip);
    char host[NI_MAXHOST];
    const int rc = getnameinfo(reinterpret_cast<sockaddr*>(&address), sizeof address, host, sizeof host, nullptr,
                               0, NI_NAMEREQD);
    if (rc != 0) {
        t_lastError = TranslateLookupError(rc);
        CheckResult(SocketErrorResult);
    }
    return host;
}

int TNetStackPosix::StackGetServByName(const std::string& name) {
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    getservbyname_r(name.c_str(), nullptr, &entry, buffer, sizeof buffer, &found);
    if (found) return ntohs(static_cast<uint16_t>(found->s_port));
    long port = 0;
    bool numeric = !name.empty() && name.size() <= 5;
    for (char c : name) {
        if (c < '0' || c > '9') numeric = false;
        else port = port * 10 + (c - '0');
    }
    if (!numeric || port > 65535) throw ENetInvalidServiceName(rtl::format("%s is not a valid service.", name.c_str()));
    return static_cast<int>(port);
}

std::vector<std::string> TNetStackPosix::StackGetServByPort(int port) {
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    getservbyport_r(htons(static_cast<uint16_t>(port)), nullptr, &entry, buffer, sizeof buffer, &found);
    std::vector<std::string> names;
    if (!found) return names;
    names.push_back(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias) names.push_back(*alias);
    return names;
}

TNetSocket TNetStackPosix::StackAccept(TNetSocket s, std::string& peerIP, int& peerPort) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int fd;
    do fd = accept4(s, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return failWithErrno();
    int family = 0;
    readAddress(address, *this, family, peerIP, peerPort);
    return fd;
}

int TNetStackPosix::StackBind(TNetSocket s, int family, int port, const std::string& ip) {
    const sockaddr_in address = makeAddress(family, port, ip);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : failWithErrno();
}

int TNetStackPosix::StackCloseSocket(TNetSocket s) { return ::close(s) == 0 ? 0 : failWithErrno(); }

int TNetStackPosix::StackConnect(TNetSocket s, int family, int port, const std::string& ip) {
    const sockaddr_in address = makeAddress(family, port, ip);
    return ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : failWithErrno();
}

uint16_t TNetStackPosix::StackHToNs(uint16_t value) { return htons(value); }
uint16_t TNetStackPosix::StackNToHs(uint16_t value) { return ntohs(value); }
uint32_t TNetStackPosix::StackHToNL(uint32_t value) { return htonl(value); }
uint32_t TNetStackPosix::StackNToHL(uint32_t value) { return ntohl(value); }

int TNetStackPosix::StackListen(TNetSocket s, int backlog) {
    return ::listen(s, backlog) == 0 ? 0 : failWithErrno();
}

int TNetStackPosix::StackRecv(TNetSocket s, void* buffer, int flags, int length) {
    ssize_t n;
    do n = ::recv(s, buffer, static_cast<size_t>(length), flags);
    while (n < 0 && errno == EINTR);
    return n < 0 ? failWithErrno() : static_cast<int>(n);
}

int TNetStackPosix::StackRecvFrom(TNetSocket s, void* buffer, int flags, int length, std::string& ip, int& port) {
    sockaddr_in address{};
    socklen_t addressLength = sizeof address;
    ssize_t n;
    do n = ::recvfrom(s, buffer, static_cast<size_t>(length), flags, reinterpret_cast<sockaddr*>(&address),
                      &addressLength);
    while (n < 0 && errno == EINTR);
    if (n < 0) return failWithErrno();
    int family = 0;
    readAddress(address, *this, family, ip, port);
    return static_cast<int>(n);
}

// poll() in the place of select(): the same ready sets, but without the
// fixed descriptor ceiling of fd_set, which a long-running GUI process can pass.
int TNetStackPosix::StackSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error, int timeout) {
    std::vector<pollfd> fds;
    fds.reserve(3 * TNetSocketList::kMaxSockets);
    addToPoll(fds, read, POLLIN);
    addToPoll(fds, write, POLLOUT);
    addToPoll(fds, error, POLLPRI);
    const int wait = timeout == Infinite ? -1 : (timeout < 0 ? 0 : timeout);
    int rc;
    do rc = ::poll(fds.data(), fds.size(), wait);
    while (rc < 0 && errno == EINTR);
    if (rc < 0) return failWithErrno();
    size_t at = 0;
    keepReady(read, fds, at, POLLIN | POLLHUP | POLLERR);
    keepReady(write, fds, at, POLLOUT | POLLHUP | POLLERR);
    keepReady(error, fds, at, POLLPRI);
    return (read ? read->Count() : 0) + (write ? write->Count() : 0) + (error ? error->Count() : 0);
}

int TNetStackPosix::StackSend(TNetSocket s, const void* buffer, int flags, int length) {
    ssize_t n;
    do n = ::send(s, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n < 0 ? failWithErrno() : static_cast<int>(n);
}

int TNetStackPosix::StackSendTo(TNetSocket s, const void* buffer, int flags, int length, const std::string& ip,
                                int port) {
    const sockaddr_in address = makeAddress(AF_INET, port, ip);
    ssize_t n;
    do n = ::sendto(s, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (n < 0 && errno == EINTR);
    return n < 0 ? failWithErrno() : static_cast<int>(n);
}

int TNetStackPosix::StackSetSockOpt(TNetSocket s, int level, int name, const void* value, int length) {
    return ::setsockopt(s, level, name, value, static_cast<socklen_t>(length)) == 0 ? 0 : failWithErrno();
}

int TNetStackPosix::StackGetSockOpt(TNetSocket s, int level, int name, void* value, int* length) {
    socklen_t size = static_cast<socklen_t>(*length);
    const int rc = ::getsockopt(s, level, name, value, &size);
    *length = static_cast<int>(size);
    return rc == 0 ? 0 : failWithErrno();
}

TNetSocket TNetStackPosix::StackSocket(int family, int type, int protocol) {
    const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
    return fd < 0 ? failWithErrno() : fd;
}

int TNetStackPosix::StackShutdown(TNetSocket s, int how) { return ::shutdown(s, how) == 0 ? 0 : failWithErrno(); }

void TNetStackPosix::StackGetPeerName(TNetSocket s, int& family, std::string& ip, int& port) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CheckResult(::getpeername(s, reinterpret_cast<sockaddr*>(&address), &length) == 0 ? 0 : failWithErrno());
    readAddress(address, *this, family, ip, port);
}

void TNetStackPosix::StackGetSockName(TNetSocket s, int& family, std::string& ip, int& port) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CheckResult(::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0 ? 0 : failWithErrno());
    readAddress(address, *this, family, ip, port);
}

}  // namespace net
