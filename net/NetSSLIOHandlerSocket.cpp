#include "net/NetSSLIOHandlerSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <climits>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "net/NetAntiFreeze.h"
#include "net/NetStackPosix.h"

namespace net {

// The socket BIO: recv and send on the handle's descriptor, never on one
// that was released (the number may belong to someone else by then), and
// without SIGPIPE when the peer has gone.
struct TNetTLSBio {
    using State = TNetSSLIOHandlerSocket::BioState;

    static State& state(BIO* bio) { return *static_cast<State*>(BIO_get_data(bio)); }

    static int write(BIO* bio, const char* data, int length) {
        BIO_clear_retry_flags(bio);
        State& s = state(bio);
        if (!s.handle || !s.handle->HasHandle) {
            errno = EBADF;
            return -1;
        }
        const ssize_t n = ::send(s.handle->SocketHandle, data, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_write(bio);
        return static_cast<int>(n);
    }

    static int read(BIO* bio, char* data, int length) {
        BIO_clear_retry_flags(bio);
        State& s = state(bio);
        if (!s.handle || !s.handle->HasHandle) {
            errno = EBADF;
            return -1;
        }
        const ssize_t n = ::recv(s.handle->SocketHandle, data, static_cast<size_t>(length), 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_read(bio);
        if (n == 0) s.eof = true;
        if (n > 0) s.records.Feed(reinterpret_cast<const unsigned char*>(data), static_cast<size_t>(n));
        return static_cast<int>(n);
    }

    static long ctrl(BIO* bio, int command, long, void*) {
        switch (command) {
            case BIO_CTRL_FLUSH: return 1;
            case BIO_CTRL_EOF: return state(bio).eof ? 1 : 0;
            default: return 0;
        }
    }

    static BIO_METHOD* method() {
        static BIO_METHOD* made = [] {
            BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tessaly socket");
            BIO_meth_set_write(m, write);
            BIO_meth_set_read(m, read);
            BIO_meth_set_ctrl(m, ctrl);
            return m;
        }();
        return made;
    }
};

namespace {

bool isAddressLiteral(const std::string& name) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, name.c_str(), buffer) == 1 || inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

// Plain words for the verdicts a user meets; the library's text for the rest.
std::string verifyText(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED: return "certificate has expired";
        case X509_V_ERR_CERT_NOT_YET_VALID: return "certificate is not yet valid";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return "self-signed certificate";
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: return "certificate issuer is not trusted";
        case X509_V_ERR_HOSTNAME_MISMATCH: return "certificate is not valid for this host name";
        case X509_V_ERR_IP_ADDRESS_MISMATCH: return "certificate is not valid for this IP address";
        case X509_V_ERR_CERT_REVOKED: return "certificate has been revoked";
        default: return X509_verify_cert_error_string(result);
    }
}

std::string subjectOf(X509* certificate) {
    if (!certificate) return std::string();
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    std::string text(data, static_cast<size_t>(size > 0 ? size : 0));
    BIO_free(out);
    return text;
}

int elapsedMs(std::chrono::steady_clock::time_point since) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
    return static_cast<int>(std::min<int64_t>(ms.count(), INT_MAX));
}

}  // namespace

TNetSSLIOHandlerSocket::TNetSSLIOHandlerSocket() = default;

TNetSSLIOHandlerSocket::~TNetSSLIOHandlerSocket() {
    try {
        ShutTransport();
    } catch (...) {
    }
    freeSession();
}

void TNetSSLIOHandlerSocket::SetPassThrough(bool value) {
    if (value == m_passThrough) return;
    m_passThrough = value;
    if (value) {
        if (m_secure) ShutTransport();
        return;
    }
    if (IsOpen() && !m_secure) startTLS();
}

bool TNetSSLIOHandlerSocket::IsSecure() { return m_secure && IsOpen(); }

void TNetSSLIOHandlerSocket::freeSession() {
    if (m_ssl) SSL_free(m_ssl);  // frees the BIO too; the descriptor is ours to close
    m_ssl = nullptr;
    m_secure = false;
    m_readEnd = ReadEnd::None;
    m_readErrorCode = 0;
    m_readErrorText.clear();
}

void TNetSSLIOHandlerSocket::PrepareTransport() {
    freeSession();
    TNetIOHandlerSocket::PrepareTransport();
}

void TNetSSLIOHandlerSocket::OpenClient(const std::string& host, int port, const std::string& boundIP,
                                        int boundPort, int boundPortLow, int boundPortHigh, int timeout) {
    freeSession();
    m_openedHost = host;
    m_openedPort = port;
    m_openTimeout = timeout;
    TNetIOHandlerSocket::OpenClient(host, port, boundIP, boundPort, boundPortLow, boundPortHigh, timeout);
    if (!m_passThrough) startTLS();
}

std::string TNetSSLIOHandlerSocket::sessionKey() const {
    const std::string& name = m_peerName.empty() ? m_openedHost : m_peerName;
    return name + "|" + m_openedHost + ":" + std::to_string(m_openedPort);
}

int TNetSSLIOHandlerSocket::onNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* self = static_cast<TNetSSLIOHandlerSocket*>(SSL_get_app_data(ssl));
    if (!self || !self->m_context) return 0;
    self->m_context->KeepSession(self->sessionKey(), session);
    return 1;  // the cache holds the reference now
}

void TNetSSLIOHandlerSocket::startTLS() {
    if (!m_context) m_context = std::make_shared<TNetTLSContext>();
    freeSession();
    SSL_CTX* ctx = m_context->Native();
    SSL_CTX_sess_set_new_cb(ctx, &TNetSSLIOHandlerSocket::onNewSession);
    m_ssl = SSL_new(ctx);
    BIO* bio = m_ssl ? BIO_new(TNetTLSBio::method()) : nullptr;
    if (!bio) throw ENetSSLProtocolReplyError(rtl::format(text::kNoTLSContext, TNetTLSContext::LastErrorText("no memory").c_str()));
    m_bio = BioState{};
    m_bio.handle = Handle();
    BIO_set_data(bio, &m_bio);
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);
    SSL_set_app_data(m_ssl, this);

    const std::string name = m_peerName.empty() ? m_openedHost : m_peerName;
    if (isAddressLiteral(name)) {
        // No SNI for an address; the certificate must name it as an IP address.
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), name.c_str());
    } else {
        SSL_set_tlsext_host_name(m_ssl, name.c_str());
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(m_ssl, name.c_str());
    }
    if (SSL_SESSION* session = m_context->SessionFor(sessionKey())) {
        SSL_set_session(m_ssl, session);
        SSL_SESSION_free(session);
    }
    const int fd = Handle()->SocketHandle;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Each write is a whole record already. With Nagle the request would wait
    // for the peer's delayed ACK of our Finished message (40 ms a connection).
    const int on = 1;
    Handle()->SetSockOpt(IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    handshake(m_openTimeout);
}

void TNetSSLIOHandlerSocket::handshake(int timeout) {
    const int limit = timeout == Infinite ? Infinite
                      : (timeout == 0 || timeout == UseDefault) ? kDefaultHandshakeTimeoutMs
                                                                 : timeout;
    const auto start = std::chrono::steady_clock::now();
    ReportStatus(TNetStatus::hsStatusText, "TLS handshake");
    while (true) {
        if (!Handle() || !Handle()->HasHandle) throw ENetConnClosedGracefully();
        ERR_clear_error();
        const int result = SSL_connect(m_ssl);
        if (result == 1) return finishHandshake();
        const int error = SSL_get_error(m_ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) raiseHandshakeFailure(error);
        const int remaining = limit == Infinite ? Infinite : limit - elapsedMs(start);
        if (limit != Infinite && remaining <= 0) throw ENetSSLHandshakeTimeout(text::kHandshakeTimedOut);
        if (!waitSocket(error == SSL_ERROR_WANT_WRITE, remaining)) throw ENetSSLHandshakeTimeout(text::kHandshakeTimedOut);
    }
}

void TNetSSLIOHandlerSocket::raiseHandshakeFailure(int error) {
    // A pumped handler closed the socket under us: that is the outcome.
    if (!Handle() || !Handle()->HasHandle) throw ENetConnClosedGracefully();
    const long verdict = SSL_get_verify_result(m_ssl);
    if (verdict != X509_V_OK) {
        ERR_clear_error();
        const std::string name = m_peerName.empty() ? m_openedHost : m_peerName;
        throw ENetSSLCertificateError(rtl::format(text::kCertificateVerifyFailed, verifyText(verdict).c_str(), name.c_str()));
    }
    // A reset or other socket failure is reported as over a plain socket.
    if (error == SSL_ERROR_SYSCALL && errno != 0 && !m_bio.eof) {
        const int code = TNetStackPosix::TranslateErrno(errno);
        ERR_clear_error();
        GStack().RaiseError(code);
    }
    std::string reason = TNetTLSContext::LastErrorText(m_bio.eof ? "the peer closed the connection" : "unknown error");
    if (m_bio.eof && reason == "unexpected eof while reading") reason = "the peer closed the connection";
    throw ENetSSLProtocolReplyError(rtl::format(text::kHandshakeFailed, reason.c_str()));
}

void TNetSSLIOHandlerSocket::finishHandshake() {
    m_secure = true;
    m_info = TNetTLSInfo{};
    m_info.Protocol = SSL_get_version(m_ssl);
    m_info.Cipher = SSL_get_cipher_name(m_ssl);
    X509* peer = SSL_get1_peer_certificate(m_ssl);
    m_info.PeerSubject = subjectOf(peer);
    X509_free(peer);
    m_info.Resumed = SSL_session_reused(m_ssl) == 1;
    if (OnHandshake) OnHandshake(m_info);
}

// --- waits ---

bool TNetSSLIOHandlerSocket::waitWritableSlice(int ms) {
    TNetSocketHandle* handle = Handle();
    if (!handle || !handle->HasHandle) throw ENetConnClosedGracefully();
    TNetSocketList writeList;
    writeList.Add(handle->SocketHandle);
    const bool writable = GStack().StackSelect(nullptr, &writeList, nullptr, ms) == 1;
    TNetAntiFreeze::YieldToUI(!writable);
    return writable;
}

// The plain transport's slicing, for reading or writing.
bool TNetSSLIOHandlerSocket::waitSocket(bool forWrite, int ms) {
    TNetSocketHandle* handle = Handle();
    if (!handle || !handle->HasHandle) throw ENetConnClosedGracefully();
    if (!forWrite) return handle->WaitReadable(ms);
    TNetAntiFreeze* freeze = TNetAntiFreeze::CurrentAntiFreeze();
    if (!TNetAntiFreeze::IsEffective() || !freeze) return waitWritableSlice(ms);
    const int slice = freeze->IdleTimeOut > 0 ? freeze->IdleTimeOut : 1;
    if (ms == Infinite) {
        while (!waitWritableSlice(slice)) {
        }
        return true;
    }
    if (ms <= slice) return waitWritableSlice(ms);
    const int count = (ms + slice - 1) / slice;
    if (waitWritableSlice(ms - (count - 1) * slice)) return true;
    for (int i = 1; i < count; ++i)
        if (waitWritableSlice(slice)) return true;
    return false;
}

bool TNetSSLIOHandlerSocket::WaitReadable(int timeout) {
    if (!m_secure) return TNetIOHandlerSocket::WaitReadable(timeout);
    if (!Handle() || !Handle()->HasHandle) throw ENetConnClosedGracefully();
    if (m_readEnd != ReadEnd::None || SSL_pending(m_ssl) > 0) return true;
    const auto start = std::chrono::steady_clock::now();
    // Readable means decrypted bytes (or the end) are there: a socket with
    // only part of a record, or only a session ticket, does not count.
    while (true) {
        char probe;
        ERR_clear_error();
        const int result = SSL_peek(m_ssl, &probe, 1);
        if (result > 0) return true;
        const int error = SSL_get_error(m_ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
            noteReadEnd(error);
            return true;
        }
        int remaining = Infinite;
        if (timeout != Infinite) {
            remaining = timeout - elapsedMs(start);
            if (remaining < 0) return false;
        }
        if (!waitSocket(error == SSL_ERROR_WANT_WRITE, remaining)) return false;
    }
}

// --- reading ---

// Records how the stream ended. A close between records without the peer's
// close_notify counts as a close (the HTTP framing judges the body); a close
// inside a record cannot be anything but a cut.
void TNetSSLIOHandlerSocket::noteReadEnd(int error) {
    m_readEnd = ReadEnd::Failed;
    if (!Handle() || !Handle()->HasHandle) {
        m_readErrorCode = kErrNotSocket;
    } else if (error == SSL_ERROR_ZERO_RETURN) {
        m_readEnd = ReadEnd::Closed;
    } else if (m_bio.eof) {
        if (m_bio.records.AtBoundary()) m_readEnd = ReadEnd::Closed;
        else m_readErrorText = text::kRecordCutShort;
    } else if (error == SSL_ERROR_SYSCALL && errno != 0) {
        m_readErrorCode = TNetStackPosix::TranslateErrno(errno);
    } else {
        m_readErrorText = rtl::format(text::kTLSFailed, TNetTLSContext::LastErrorText("unknown error").c_str());
    }
    ERR_clear_error();
}

int TNetSSLIOHandlerSocket::reportReadEnd() {
    if (m_readEnd == ReadEnd::Closed) return 0;
    if (!m_readErrorText.empty()) throw ENetSSLProtocolReplyError(m_readErrorText);
    TNetStackPosix::SetLastError(m_readErrorCode);
    return SocketErrorResult;
}

// Fills as much of buffer as the decrypted records at hand allow, so that a
// full read tells the connection more is waiting.
int TNetSSLIOHandlerSocket::readSome(char* buffer, int length, bool& wouldBlock) {
    wouldBlock = false;
    if (m_readEnd != ReadEnd::None) return reportReadEnd();
    int total = 0;
    while (total < length) {
        size_t got = 0;
        ERR_clear_error();
        if (SSL_read_ex(m_ssl, buffer + total, static_cast<size_t>(length - total), &got) == 1) {
            total += static_cast<int>(got);
            continue;
        }
        const int error = SSL_get_error(m_ssl, 0);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            wouldBlock = total == 0;
            return total;
        }
        noteReadEnd(error);
        return total > 0 ? total : reportReadEnd();  // the end is reported on the next call
    }
    return total;
}

int TNetSSLIOHandlerSocket::ReceiveBytes(void* buffer, int length) {
    if (!m_secure) return TNetIOHandlerSocket::ReceiveBytes(buffer, length);
    if (!IsOpen()) throw ENetClosedSocket(net::text::kClosedSocket);
    bool wouldBlock = false;
    const int n = readSome(static_cast<char*>(buffer), length, wouldBlock);
    return wouldBlock ? kNothingWaiting : n;  // the caller waits again
}

int TNetSSLIOHandlerSocket::TryReceiveBytes(void* buffer, int length) {
    if (!m_secure) return TNetIOHandlerSocket::TryReceiveBytes(buffer, length);
    if (!IsOpen()) return kNothingWaiting;
    bool wouldBlock = false;
    const int n = readSome(static_cast<char*>(buffer), length, wouldBlock);
    return wouldBlock ? kNothingWaiting : n;
}

// --- writing ---

int TNetSSLIOHandlerSocket::SendBytes(const void* buffer, int length) {
    if (!m_secure) return TNetIOHandlerSocket::SendBytes(buffer, length);
    if (!IsOpen()) throw ENetClosedSocket(net::text::kClosedSocket);
    while (true) {
        size_t sent = 0;
        ERR_clear_error();
        if (SSL_write_ex(m_ssl, buffer, static_cast<size_t>(length), &sent) == 1) return static_cast<int>(sent);
        const int error = SSL_get_error(m_ssl, 0);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            // No time limit, as a blocking send; a pumped handler may close us.
            waitSocket(error == SSL_ERROR_WANT_WRITE, Infinite);
            continue;
        }
        if (!Handle() || !Handle()->HasHandle) throw ENetClosedSocket(net::text::kClosedSocket);
        if (error == SSL_ERROR_SYSCALL && errno != 0) {
            TNetStackPosix::SetLastError(TNetStackPosix::TranslateErrno(errno));
            ERR_clear_error();
            return SocketErrorResult;
        }
        throw ENetSSLProtocolReplyError(
            rtl::format(text::kTLSFailed, TNetTLSContext::LastErrorText("unknown error").c_str()));
    }
}

void TNetSSLIOHandlerSocket::ShutTransport() {
    // Our close_notify, once and without waiting, so the peer sees an orderly end.
    if (m_ssl && m_secure && IsOpen() && m_readEnd == ReadEnd::None) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
        ERR_clear_error();
    }
    m_secure = false;
    TNetIOHandlerSocket::ShutTransport();
}

}  // namespace net
