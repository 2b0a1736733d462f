#pragma once
// The socket transport with TLS. Pass-through on: plain bytes, exactly as the
// plain transport. Pass-through off: the connection runs TLS (1.2 or newer)
// with the peer's certificate checked against the system store and the peer
// name (host names against DNS names, addresses against IP addresses); SNI
// carries the name. A certificate that fails raises ENetSSLCertificateError
// before any byte of ours is sent.
// While TLS runs the socket is non-blocking and every wait (handshake, reads,
// writes) goes through the same sliced waits as the plain transport, so the
// GUI pump runs and a handler may close the connection from inside a wait.
// Thread-safety: one thread at a time.

#include <functional>
#include <memory>
#include <string>

#include "net/NetIOHandlerSocket.h"
#include "net/NetTLSContext.h"
#include "net/NetTLSRecordTracker.h"

typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace net {

// What the last handshake agreed on.
struct TNetTLSInfo {
    std::string Protocol;     // "TLSv1.3"
    std::string Cipher;       // "TLS_AES_256_GCM_SHA384"
    std::string PeerSubject;  // "CN=www.example.com,O=Example"
    bool Resumed = false;     // a kept session was taken up again
};

class TNetSSLIOHandlerSocket : public TNetIOHandlerSocket {
public:
    static constexpr int kDefaultHandshakeTimeoutMs = 60000;

    // Fired after every finished handshake (a verified peer).
    std::function<void(const TNetTLSInfo& info)> OnHandshake;

    TNetSSLIOHandlerSocket();
    ~TNetSSLIOHandlerSocket() override;

    // true: bytes pass unencrypted (plain http, or before a tunnel is up);
    // false: the transport runs TLS.
    bool PassThrough() const { return m_passThrough; }
    // Switching off on an open plain socket runs the handshake at once (a
    // proxy tunnel that has just been set up). Switching on while TLS runs
    // closes the socket: a TLS stream cannot go back to plain bytes.
    virtual void SetPassThrough(bool value);
    // The name checked and sent as SNI; empty: the host OpenClient was given.
    void SetPeerName(const std::string& name) { m_peerName = name; }
    const std::string& PeerName() const { return m_peerName; }
    // True while a TLS session runs on the open socket.
    bool IsSecure();
    const TNetTLSInfo& LastHandshake() const { return m_info; }

    void PrepareTransport() override;
    void OpenClient(const std::string& host, int port, const std::string& boundIP, int boundPort,
                    int boundPortLow, int boundPortHigh, int timeout) override;
    bool WaitReadable(int timeout) override;
    int ReceiveBytes(void* buffer, int length) override;
    int TryReceiveBytes(void* buffer, int length) override;
    int SendBytes(const void* buffer, int length) override;
    void ShutTransport() override;

private:
    enum class ReadEnd { None, Closed, Failed };
    // What the socket BIO works on. The record tracker follows the framing
    // of the raw bytes so a close can be told apart: between records or
    // inside one (a cut record).
    struct BioState {
        TNetSocketHandle* handle = nullptr;
        bool eof = false;
        TNetTLSRecordTracker records;
    };

    void startTLS();
    void handshake(int timeout);
    void finishHandshake();
    [[noreturn]] void raiseHandshakeFailure(int error);
    bool waitSocket(bool forWrite, int ms);
    bool waitWritableSlice(int ms);
    int readSome(char* buffer, int length, bool& wouldBlock);
    void noteReadEnd(int error);
    int reportReadEnd();
    void freeSession();
    std::string sessionKey() const;
    static int onNewSession(SSL* ssl, SSL_SESSION* session);
    friend struct TNetTLSBio;

    std::shared_ptr<TNetTLSContext> m_context;
    SSL* m_ssl = nullptr;
    bool m_secure = false;  // the handshake finished on the current socket
    bool m_passThrough = true;
    ReadEnd m_readEnd = ReadEnd::None;
    int m_readErrorCode = 0;  // socket error number for ReadEnd::Failed, or 0
    std::string m_readErrorText;  // TLS reason for ReadEnd::Failed when no socket error
    std::string m_peerName;
    std::string m_openedHost;
    int m_openedPort = 0;
    int m_openTimeout = 0;
    TNetTLSInfo m_info;
    BioState m_bio;
};

}  // namespace net
