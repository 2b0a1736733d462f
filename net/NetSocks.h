#pragma once
// SOCKS proxy settings and the client side of the SOCKS 4, 4A and 5
// CONNECT negotiation, run over an already connected transport.
// Thread-safety: one thread at a time.

#include <cstdint>
#include <string>

#include "net/NetComponent.h"

namespace net {

class TNetIOHandler;

enum class TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum class TSocksAuthentication { saNoAuthentication, saUsernamePassword };

// Wire format and limits.
namespace socks {
constexpr uint8_t kVersion4 = 4;
constexpr uint8_t kVersion5 = 5;
constexpr uint8_t kCommandConnect = 1;
constexpr uint8_t kReply4Granted = 90;
constexpr uint8_t kReply4Rejected = 91;
constexpr uint8_t kReply4NoIdentd = 92;
constexpr uint8_t kReply4IdentMismatch = 93;
constexpr uint8_t kMethodNone = 0;
constexpr uint8_t kMethodUserPass = 2;
constexpr uint8_t kMethodRefused = 0xFF;
constexpr uint8_t kUserPassVersion = 1;
constexpr uint8_t kAddressIPv4 = 1;
constexpr uint8_t kAddressDomain = 3;
constexpr uint8_t kAddressIPv6 = 4;
constexpr size_t kMaxField = 255;          // host, user name, password (one length byte)
constexpr int kReplyTimeoutMs = 30000;     // a server that says nothing this long has failed
}  // namespace socks

RTL_DECLARE_EXCEPTION(ENetSocksError, ENetException);
RTL_DECLARE_EXCEPTION(ENetSocksRequestFailed, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksRequestServerFailed, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksRequestIdentFailed, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksUnknownError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerRespondError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksAuthMethodError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksAuthError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerGeneralError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerPermissionError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerNetUnreachableError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerHostUnreachableError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerConnectionRefusedError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerTTLExpiredError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerCommandError, ENetSocksError);
RTL_DECLARE_EXCEPTION(ENetSocksServerAddressError, ENetSocksError);

class TNetSocksInfo : public TNetComponent {
public:
    TSocksAuthentication Authentication = TSocksAuthentication::saNoAuthentication;
    std::string Host;
    std::string Password;
    int Port = 1080;
    std::string Username;
    TSocksVersion Version = TSocksVersion::svNoSocks;

    // Asks the proxy at the other end of transport to connect to host:port.
    // Does nothing with svNoSocks. Raises an ENetSocksError on refusal.
    void NegotiateSocks(TNetIOHandler& transport, const std::string& host, int port);

private:
    void negotiate4(TNetIOHandler& transport, const std::string& host, int port);
    void negotiate5(TNetIOHandler& transport, const std::string& host, int port);
    void authenticate5(TNetIOHandler& transport);
};

}  // namespace net
