#pragma once
// The client TLS settings one handler's connections share: TLS 1.2 or newer,
// peers verified against the system's certificate store (the SSL_CERT_FILE
// and SSL_CERT_DIR variables override it, read when the context is made),
// and a small cache of sessions per host and port so that a new connection
// to the same peer can resume instead of running a full handshake.
// Thread-safety: one thread at a time.

#include <map>
#include <string>

#include "net/NetConnectionErrors.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_session_st SSL_SESSION;

namespace net {

// Any TLS failure: a handshake that fails, a peer that breaks the protocol.
RTL_DECLARE_EXCEPTION(ENetSSLProtocolReplyError, ENetProtocolReplyError);
// The peer's certificate did not verify; nothing was sent to it.
RTL_DECLARE_EXCEPTION(ENetSSLCertificateError, ENetSSLProtocolReplyError);
// The handshake did not finish within the connection's time-out.
RTL_DECLARE_EXCEPTION(ENetSSLHandshakeTimeout, ENetSSLProtocolReplyError);

namespace text {
inline constexpr const char kCertificateVerifyFailed[] = "Certificate verify failed: %s (host %s)";
inline constexpr const char kHandshakeFailed[] = "TLS handshake failed: %s";
inline constexpr const char kHandshakeTimedOut[] = "TLS handshake timed out.";
inline constexpr const char kTLSFailed[] = "TLS connection failed: %s";
inline constexpr const char kRecordCutShort[] = "TLS record cut short: the peer closed the connection in the middle of a record.";
inline constexpr const char kNoTLSContext[] = "TLS is not available: %s";
}  // namespace text

class TNetTLSContext {
public:
    static constexpr size_t kMaxSessions = 32;

    // Raises ENetSSLProtocolReplyError when the library refuses the settings.
    TNetTLSContext();
    ~TNetTLSContext();
    TNetTLSContext(const TNetTLSContext&) = delete;
    TNetTLSContext& operator=(const TNetTLSContext&) = delete;

    SSL_CTX* Native() const { return m_ctx; }
    // A new reference to the session kept for key, or null.
    SSL_SESSION* SessionFor(const std::string& key) const;
    // Takes over one reference; the oldest entry goes when the cache is full.
    void KeepSession(const std::string& key, SSL_SESSION* session);
    void ForgetSession(const std::string& key);

    // The library's reason for the last failure (its error queue is emptied),
    // or fallback when it has none.
    static std::string LastErrorText(const std::string& fallback);

private:
    SSL_CTX* m_ctx = nullptr;
    std::map<std::string, SSL_SESSION*> m_sessions;
    std::map<std::string, unsigned long> m_age;
    unsigned long m_clock = 0;
};

}  // namespace net
