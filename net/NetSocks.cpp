#include "net/NetSocks.h"

#include <string>

#include "net/NetIOHandler.h"

namespace net {

namespace {

void sendAll(TNetIOHandler& transport, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = transport.SendBytes(bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (n < 0) GStack().CheckResult(n, {kErrConnReset, kErrConnAborted, kErrShutdown});
        if (n <= 0) throw ENetSocksServerRespondError("Socks server did not respond.");
        sent += static_cast<size_t>(n);
    }
}

// Exactly count bytes of the server's reply, or "Socks server did not respond.".
std::string receiveExact(TNetIOHandler& transport, size_t count) {
    std::string reply(count, '\0');
    size_t got = 0;
    while (got < count) {
        if (!transport.WaitReadable(socks::kReplyTimeoutMs))
            throw ENetSocksServerRespondError("Socks server did not respond.");
        const int n = transport.ReceiveBytes(reply.data() + got, static_cast<int>(count - got));
        // A proxy that closes or resets instead of answering has not responded.
        if (n < 0) GStack().CheckResult(n, {kErrConnReset, kErrConnAborted, kErrShutdown});
        if (n <= 0) throw ENetSocksServerRespondError("Socks server did not respond.");
        got += static_cast<size_t>(n);
    }
    return reply;
}

std::string portBytes(int port) {
    return std::string{static_cast<char>((port >> 8) & 0xFF), static_cast<char>(port & 0xFF)};
}

void checkField(const std::string& field) {
    if (field.size() > socks::kMaxField) throw ENetSocksRequestFailed("Request rejected or failed.");
}

[[noreturn]] void raiseReply5(uint8_t code) {
    switch (code) {
        case 1: throw ENetSocksServerGeneralError("General SOCKS server failure.");
        case 2: throw ENetSocksServerPermissionError("Connection not allowed by ruleset.");
        case 3: throw ENetSocksServerNetUnreachableError("Network unreachable.");
        case 4: throw ENetSocksServerHostUnreachableError("Host unreachable.");
        case 5: throw ENetSocksServerConnectionRefusedError("Connection refused.");
        case 6: throw ENetSocksServerTTLExpiredError("TTL expired.");
        case 7: throw ENetSocksServerCommandError("Command not supported.");
        case 8: throw ENetSocksServerAddressError("Address type not supported.");
        default: throw ENetSocksUnknownError("Unknown socks error.");
    }
}

}  // namespace

void TNetSocksInfo::NegotiateSocks(TNetIOHandler& transport, const std::string& host, int port) {
    switch (Version) {
        case TSocksVersion::svNoSocks: return;
        case TSocksVersion::svSocks4:
        case TSocksVersion::svSocks4A: negotiate4(transport, host, port); return;
        case TSocksVersion::svSocks5: negotiate5(transport, host, port); return;
    }
}

void TNetSocksInfo::negotiate4(TNetIOHandler& transport, const std::string& host, int port) {
    checkField(Username);
    checkField(host);
    std::string request{static_cast<char>(socks::kVersion4), static_cast<char>(socks::kCommandConnect)};
    request += portBytes(port);
    const bool byName = Version == TSocksVersion::svSocks4A;
    // 4A: the address 0.0.0.1 tells the server that the name follows the user.
    const uint32_t address = byName ? TNetStack::ParseIPv4("0.0.0.1") : TNetStack::ParseIPv4(GStack().HostToIP(host));
    request.append(reinterpret_cast<const char*>(&address), 4);
    request += Username;
    request += '\0';
    if (byName) {
        request += host;
        request += '\0';
    }
    sendAll(transport, request);
    const std::string reply = receiveExact(transport, 8);
    switch (static_cast<uint8_t>(reply[1])) {
        case socks::kReply4Granted: return;
        case socks::kReply4Rejected: throw ENetSocksRequestFailed("Request rejected or failed.");
        case socks::kReply4NoIdentd:
            throw ENetSocksRequestServerFailed("Request rejected because SOCKS server cannot connect.");
        case socks::kReply4IdentMismatch:
            throw ENetSocksRequestIdentFailed(
                "Request rejected because the client program and identd report different user-ids.");
        default: throw ENetSocksUnknownError("Unknown socks error.");
    }
}

void TNetSocksInfo::authenticate5(TNetIOHandler& transport) {
    checkField(Username);
    checkField(Password);
    std::string request{static_cast<char>(socks::kUserPassVersion), static_cast<char>(Username.size())};
    request += Username;
    request += static_cast<char>(Password.size());
    request += Password;
    sendAll(transport, request);
    const std::string reply = receiveExact(transport, 2);
    if (reply[1] != 0) throw ENetSocksAuthError("Authentication error to socks server.");
}

void TNetSocksInfo::negotiate5(TNetIOHandler& transport, const std::string& host, int port) {
    checkField(host);
    const bool withPassword = Authentication == TSocksAuthentication::saUsernamePassword;
    std::string greeting{static_cast<char>(socks::kVersion5)};
    if (withPassword)
        greeting += std::string{2, static_cast<char>(socks::kMethodNone), static_cast<char>(socks::kMethodUserPass)};
    else
        greeting += std::string{1, static_cast<char>(socks::kMethodNone)};
    sendAll(transport, greeting);
    const std::string method = receiveExact(transport, 2);
    const auto chosen = static_cast<uint8_t>(method[1]);
    if (chosen == socks::kMethodUserPass && withPassword)
        authenticate5(transport);
    else if (chosen != socks::kMethodNone)
        throw ENetSocksAuthMethodError("Invalid socks authentication method.");

    std::string request{static_cast<char>(socks::kVersion5), static_cast<char>(socks::kCommandConnect), 0,
                        static_cast<char>(socks::kAddressDomain), static_cast<char>(host.size())};
    request += host;
    request += portBytes(port);
    sendAll(transport, request);

    const std::string head = receiveExact(transport, 4);
    if (static_cast<uint8_t>(head[0]) != socks::kVersion5) throw ENetSocksUnknownError("Unknown socks error.");
    if (head[1] != 0) raiseReply5(static_cast<uint8_t>(head[1]));
    size_t addressLength = 0;
    switch (static_cast<uint8_t>(head[3])) {
        case socks::kAddressIPv4: addressLength = 4; break;
        case socks::kAddressIPv6: addressLength = 16; break;
        case socks::kAddressDomain: addressLength = static_cast<uint8_t>(receiveExact(transport, 1)[0]); break;
        default: throw ENetSocksServerAddressError("Address type not supported.");
    }
    receiveExact(transport, addressLength + 2);  // bound address and port: not needed
}

}  // namespace net
