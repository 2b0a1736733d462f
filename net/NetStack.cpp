#include "net/NetStack.h"

#include <cstring>

#include "net/NetStackPosix.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

struct ErrorEntry {
    int code;
    const char* text;
};

// The socket error table; 10035 ends with a blank and 10066 has no full stop.
constexpr ErrorEntry kErrorTable[] = {
    {11001, "Host not found."},
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

TNetStack* g_stack = nullptr;
int g_liveComponents = 0;

// Parses 1..3 decimal digits (leading zeros allowed up to 10 digits) into 0..255.
bool parseByte(const std::string& piece, int& value) {
    if (piece.empty() || piece.size() > 10) return false;
    long v = 0;
    for (char c : piece) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > 255) return false;
    value = static_cast<int>(v);
    return true;
}

// Cuts text at its first three dots: three fields and the remainder.
void splitAddress(const std::string& text, std::string pieces[4]) {
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = text.find('.', start);
        if (dot == std::string::npos) {
            pieces[i] = text.substr(start);
            start = text.size();
            for (int j = i + 1; j < 4; ++j) pieces[j].clear();
            return;
        }
        pieces[i] = text.substr(start, dot - start);
        start = dot + 1;
    }
    pieces[3] = text.substr(start);
}

}  // namespace

ENetConnClosedGracefully::ENetConnClosedGracefully() : ENetSilentException("Connection Closed Gracefully.") {}

ENetWS2StubError::ENetWS2StubError(std::string title, int code)
    : ENetException(title), m_title(std::move(title)), m_code(code) {
    if (m_code != 0) {
        char buffer[256];
        m_text = strerror_r(m_code, buffer, sizeof buffer);
        setMessage(m_title + ": " + m_text);
    }
}

// --- TNetSocketList ---

void TNetSocketList::Add(TNetSocket socket) {
    if (m_count >= kMaxSockets) throw ENetStackSetSizeExceeded("Set Size Exceeded.");
    m_items[m_count++] = socket;
}

void TNetSocketList::Remove(TNetSocket socket) {
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i] == socket) {
            m_items[i] = m_items[--m_count];
            return;
        }
    }
}

TNetSocket TNetSocketList::Item(int index) const {
    if (index < 0 || index >= m_count) throw ENetStackSetSizeExceeded("Set Size Exceeded.");
    return m_items[index];
}

bool TNetSocketList::Contains(TNetSocket socket) const {
    for (int i = 0; i < m_count; ++i)
        if (m_items[i] == socket) return true;
    return false;
}

// --- TNetStack ---

std::string TNetStack::FirstLocalAddress() {
    const auto& list = LocalAddresses();
    return list.empty() ? std::string() : list.front();
}

const std::vector<std::string>& TNetStack::LocalAddresses() {
    FillLocalAddresses();
    return m_localAddresses;
}

std::string TNetStack::ErrorText(int code) {
    const char* text = "";
    for (const auto& entry : kErrorTable) {
        if (entry.code == code) {
            text = entry.text;
            break;
        }
    }
    return rtl::format("Socket Error # %d\r\n%s", code, text);
}

std::string TNetStack::FormatIPv4(uint32_t address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address, 4);
    return rtl::format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

bool TNetStack::CheckResult(int result, std::initializer_list<int> tolerated) {
    if (result != SocketErrorResult) return false;
    const int code = StackGetLastError();
    m_lastErrorCode.store(code);
    for (int t : tolerated)
        if (t == code) return true;
    RaiseError(code);
}

void TNetStack::RaiseError(int code) {
    throw ENetSocketError(code, ErrorText(code));
}

TNetSocket TNetStack::NewSocket(int type, int protocol) {
    const TNetSocket s = StackSocket(2 /* AF_INET */, type, protocol);
    if (s == InvalidNetSocket) throw ENetInvalidSocket("Cannot allocate socket.");
    return s;
}

std::string TNetStack::HostToIP(const std::string& host) {
    if (rtl::equalsIgnoreCase(host, "LOCALHOST")) return "127.0.0.1";
    if (LooksLikeIP(host)) return host;
    return StackGetHostByName(host);
}

bool TNetStack::LooksLikeIP(const std::string& text) {
    std::string pieces[4];
    splitAddress(text, pieces);
    int value = 0;
    for (const auto& piece : pieces)
        if (!parseByte(piece, value)) return false;
    return true;
}

uint32_t TNetStack::ParseIPv4(const std::string& text) {
    std::string pieces[4];
    splitAddress(text, pieces);
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) {
        int value = 0;
        if (!parseByte(pieces[i], value))
            throw ENetConvertError(rtl::format("\"%s\" is not a valid address part", pieces[i].c_str()));
        bytes[i] = static_cast<unsigned char>(value);
    }
    uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}

// --- process-wide stack ---

std::mutex& StackLock() {
    static std::mutex lock;
    return lock;
}

TNetStack* TheStack() {
    std::lock_guard<std::mutex> guard(StackLock());
    return g_stack;
}

TNetStack& GStack() {
    TNetStack* stack = TheStack();
    if (!stack) throw ENetStackError("No socket stack: no network component exists.");
    return *stack;
}

int LiveComponentCount() {
    std::lock_guard<std::mutex> guard(StackLock());
    return g_liveComponents;
}

void AcquireStack() {
    std::lock_guard<std::mutex> guard(StackLock());
    if (g_liveComponents == 0) g_stack = new TNetStackPosix();  // may raise: count stays
    ++g_liveComponents;
}

void ReleaseStack() {
    std::lock_guard<std::mutex> guard(StackLock());
    if (--g_liveComponents == 0) {
        delete g_stack;
        g_stack = nullptr;
    }
}

}  // namespace net
