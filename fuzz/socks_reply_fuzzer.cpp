// SOCKS replies. The first byte of an input picks the version, the
// authentication and how the transport hands out bytes; the rest is what the
// proxy answers. A reader written here from the SOCKS 4 and 5 reply formats
// says whether the negotiation must succeed and how many reply bytes it
// takes: the client must agree, read no further, and fail only with a SOCKS
// error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/NetIOHandler.h"
#include "net/NetSocks.h"

namespace {

// A transport over a fixed reply: hands out at most `piece` bytes a read and,
// at the end, either reports nothing readable or a close.
class ReplyTransport : public net::TNetIOHandler {
public:
    ReplyTransport(std::string reply, int piece, bool closeAtEnd)
        : m_reply(std::move(reply)), m_piece(piece), m_closeAtEnd(closeAtEnd) {}
    bool IsOpen() override { return true; }
    bool WaitReadable(int) override { return m_taken < m_reply.size() || m_closeAtEnd; }
    int ReceiveBytes(void* buffer, int length) override {
        const size_t n = std::min({static_cast<size_t>(length), static_cast<size_t>(m_piece), m_reply.size() - m_taken});
        std::memcpy(buffer, m_reply.data() + m_taken, n);
        m_taken += n;
        return static_cast<int>(n);
    }
    int SendBytes(const void* buffer, int length) override {
        m_sent.append(static_cast<const char*>(buffer), static_cast<size_t>(length));
        return length;
    }
    size_t taken() const { return m_taken; }
    const std::string& sent() const { return m_sent; }

private:
    std::string m_reply;
    size_t m_taken = 0;
    int m_piece;
    bool m_closeAtEnd;
    std::string m_sent;
};

struct Verdict {
    bool success = false;
    size_t length = 0;  // reply bytes a successful negotiation reads
};

uint8_t at(const std::string& reply, size_t i) { return static_cast<uint8_t>(reply[i]); }

Verdict judge4(const std::string& reply) {
    if (reply.size() < 8 || at(reply, 1) != 90) return {};
    return {true, 8};
}

Verdict judge5(const std::string& reply, bool withPassword) {
    size_t pos = 2;
    if (reply.size() < pos) return {};
    if (at(reply, 1) == 2 && withPassword) {
        pos += 2;
        if (reply.size() < pos || at(reply, pos - 1) != 0) return {};
    } else if (at(reply, 1) != 0) {
        return {};
    }
    if (reply.size() < pos + 4 || at(reply, pos) != 5 || at(reply, pos + 1) != 0) return {};
    const uint8_t type = at(reply, pos + 3);
    pos += 4;
    size_t address = 0;
    if (type == 1) address = 4;
    else if (type == 4) address = 16;
    else if (type == 3) {
        if (reply.size() < pos + 1) return {};
        address = at(reply, pos);
        pos += 1;
    } else
        return {};
    pos += address + 2;
    if (reply.size() < pos) return {};
    return {true, pos};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const std::string reply(reinterpret_cast<const char*>(data) + 1, size - 1);
    net::TNetSocksInfo socks;
    switch (mode & 3) {
        case 0: socks.Version = net::TSocksVersion::svSocks4; break;
        case 1: socks.Version = net::TSocksVersion::svSocks4A; break;
        default: socks.Version = net::TSocksVersion::svSocks5; break;
    }
    const bool withPassword = (mode & 4) != 0;
    if (withPassword) {
        socks.Authentication = net::TSocksAuthentication::saUsernamePassword;
        socks.Username = "user";
        socks.Password = "secret";
    }
    const int piece = 1 + ((mode >> 3) & 7) * 3;
    ReplyTransport transport(reply, piece, (mode & 0x40) != 0);
    const bool version5 = socks.Version == net::TSocksVersion::svSocks5;
    const std::string host = version5 || socks.Version == net::TSocksVersion::svSocks4A ? "peer.test" : "127.0.0.1";
    const Verdict verdict = version5 ? judge5(reply, withPassword) : judge4(reply);

    bool success = false;
    try {
        socks.NegotiateSocks(transport, host, 8080);
        success = true;
    } catch (const net::ENetSocksError&) {
    } catch (...) {
        __builtin_trap();
    }
    if (success != verdict.success) __builtin_trap();
    if (success && transport.taken() != verdict.length) __builtin_trap();
    if (transport.sent().empty() || static_cast<uint8_t>(transport.sent()[0]) != (version5 ? 5 : 4)) __builtin_trap();
    return 0;
}
