#pragma once
// The HTTP/1.x client: builds the request head, sends it over the buffered
// connection it derives from, reads and judges the response head (done,
// follow a redirect, authenticate, fail), reads the body as HTTP/1.1 frames
// it (Transfer-Encoding before Content-Length, chunked coding with
// extensions and trailers, or until the peer closes), and passes cookies to
// and from the cookie store. TNetCustomHTTP holds all behaviour; TNetHTTP is the
// component the program owns.
//
// Event handlers (work, status, redirect, authorisation) run inside
// GetToStream on the calling thread; a work handler may call CloseConnection
// on this client, which ends the running body read early.
// Thread-safety: one thread at a time (normally the GUI thread).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/NetConnectionErrors.h"
#include "net/NetCookieManager.h"
#include "net/NetHTTPFraming.h"
#include "net/NetHTTPHeaderInfo.h"
#include "net/NetTCPClient.h"
#include "net/NetURI.h"
#include "rtl/Stream.h"

namespace net {

class TNetCustomHTTP;
class TNetSSLIOHandlerSocket;

// An HTTP error status: message = the status line.
class ENetHTTPProtocolException : public ENetProtocolReplyError {
public:
    ENetHTTPProtocolException(int replyCode, std::string statusLine, std::string errorBody)
        : ENetProtocolReplyError(std::move(statusLine)), m_replyCode(replyCode), m_errorBody(std::move(errorBody)) {}
    int ReplyCode() const noexcept { return m_replyCode; }
    const std::string& ErrorBody() const noexcept { return m_errorBody; }
    const char* className() const noexcept override { return "ENetHTTPProtocolException"; }

private:
    int m_replyCode;
    std::string m_errorBody;
};

RTL_DECLARE_EXCEPTION(ENetUnknownProtocol, ENetException);
// A response exceeded one of the limits of NetHTTPFormat.h.
RTL_DECLARE_EXCEPTION(ENetHTTPLimitExceeded, ENetException);

enum TNetHTTPProtocolVersion { pv1_0, pv1_1 };
enum TNetHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };
enum RouteKind { rkDirect, rkDirectSecure, rkProxy, rkProxyTunnel };
enum NextStep { nsFollow, nsDone, nsUndecided, nsRetryAuth };
enum TNetHTTPOption { hoInProcessAuth = 1 };
using TNetHTTPOptions = unsigned;  // a set of TNetHTTPOption bits

// The word of the request line ("GET "); "DELETE " for hmDelete.
const char* MethodWord(TNetHTTPMethod method);

class TNetHTTPRequest : public TNetRequestHeaderInfo {
public:
    std::string Target;
    TNetHTTPMethod Verb = hmGet;
    rtl::TStream* UploadStream = nullptr;  // not owned
    RouteKind RouteUsed = rkDirect;
};

class TNetHTTPResponse : public TNetResponseHeaderInfo {
public:
    // REQUIRES: client outlives the response.
    explicit TNetHTTPResponse(TNetCustomHTTP& client) : m_client(client) {}

    std::string StatusLine;
    rtl::TStream* BodyStream = nullptr;  // not owned

    // The number after the first space of StatusLine; -1 when not a number.
    int StatusCode() const;
    // Whether the connection may carry the next request; looks at the
    // connection each time (it may have closed meanwhile) and changes nothing.
    bool ReuseConnection() const;

private:
    TNetCustomHTTP& m_client;
};

// The request and response of one exchange.
class TNetHTTPProtocol {
public:
    explicit TNetHTTPProtocol(TNetCustomHTTP& client) : Response(client) {}
    TNetHTTPRequest Request;
    TNetHTTPResponse Response;
};

class TNetCustomHTTP : public TNetTCPClient {
public:
    // dest and verb may be changed; changes to numRedirect are not kept.
    using TNetHTTPOnRedirectEvent = std::function<void(TNetCustomHTTP& sender, std::string& dest, int& numRedirect,
                                                       bool& handled, TNetHTTPMethod& method)>;
    using TNetOnSelectAuthorization = std::function<void(TNetCustomHTTP& sender, const TNetAuthenticationClass*& cls,
                                                         const TNetHeaderList& authInfo)>;
    using TNetOnAuthorization =
        std::function<void(TNetCustomHTTP& sender, TNetAuthentication& authentication, bool& handled)>;

    TNetCustomHTTP();
    ~TNetCustomHTTP() override;

    int AuthRetries = 3;
    bool AllowCookies = true;
    bool HandleRedirects = false;
    TNetHTTPProtocolVersion ProtocolVersion = pv1_1;
    int RedirectMaximum = 15;
    TNetHTTPOptions HTTPOptions = 0;
    TNetHTTPOnRedirectEvent OnRedirect;
    TNetOnSelectAuthorization OnSelectAuthorization;
    TNetOnSelectAuthorization OnSelectProxyAuthorization;
    TNetOnAuthorization OnAuthorization;
    TNetOnAuthorization OnProxyAuthorization;

    TNetHTTPRequest& Request() { return m_protocol->Request; }
    TNetHTTPResponse& Response() { return m_protocol->Response; }
    TNetProxyConnectionInfo& ProxyParams() { return m_proxyParams; }
    // The URL of the last request; the base of the next relative one.
    const TNetURI& URL() const { return m_url; }

    // The store in use: the assigned one while it lives, else the one the
    // client made itself; null when none.
    std::shared_ptr<TNetCookieManager> CookieManager() const;
    // The client keeps only a weak reference: when the caller's store dies,
    // the property reads null. Frees a store the client had made.
    void SetCookieManager(std::shared_ptr<TNetCookieManager> manager);

    // Requests sent in the running cycle (0 after a cycle ended normally).
    int HopCount() const { return m_hopCount; }
    int AuthAttempts() const { return m_authAttempts; }
    int ProxyAuthAttempts() const { return m_proxyAuthAttempts; }

    void SetHost(const std::string& host) override;
    void SetPort(int port) override;
    void NotifyDisconnected() override;

    // GET of url with the body written at stream's position. Returns when
    // the exchange ends with a body (possibly cut by CloseConnection); every
    // failure raises. stream must live until it returns.
    void GetToStream(const std::string& url, rtl::TStream& stream);

    // The hooks, in slot order.
    virtual bool AskAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response);
    virtual bool AskProxyAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response);
    virtual bool AskRedirect(std::string& dest, TNetHTTPMethod& verb, int count);

protected:
    // The request cycle; body and upload may be null and are not owned.
    virtual void RunRequest(TNetHTTPMethod verb, const std::string& url, rtl::TStream* body, rtl::TStream* upload);

    void ResolveTarget(TNetHTTPRequest& request);
    RouteKind ChooseRoute();
    void OpenRoute(TNetHTTPRequest& request, TNetHTTPResponse& response);
    void EnsureOpen(TNetHTTPResponse& response);
    // url: the parts the Cookie header is chosen for; null sends none.
    void SendHead(TNetHTTPRequest& request, const TNetURI* url);
    void ReadHead(TNetHTTPResponse& response);
    void ReadBody(TNetHTTPResponse& response);
    void DrainBody(TNetHTTPResponse& response);
    [[noreturn]] void RaiseStatus(TNetHTTPResponse& response);
    NextStep JudgeResponse(TNetHTTPProtocol& protocol);
    void StoreCookies(TNetHTTPRequest& request, TNetHTTPResponse& response);
    void AddCookieHeader(const TNetURI& url, TNetHTTPRequest& request);
    // The next chunk's size (ReadChunkSize of the next line).
    int64_t ChunkLength();

private:
    NextStep runHop(const std::string& url, int64_t bodyStart);
    void readResponseHead(TNetHTTPProtocol& protocol);
    std::string readStatusLine();
    void takeTargetPath(const TNetURIParts& target);
    void readHeaderLines(TNetHTTPResponse& response);
    void readBodyExact(TNetHTTPResponse& response, int64_t length);
    void readChunkedBody(TNetHTTPResponse& response);
    void readWithTimeout(TNetHTTPResponse& response, int timeoutMs);
    NextStep judgeRedirect(TNetHTTPProtocol& protocol);
    NextStep judgeOther(TNetHTTPProtocol& protocol);
    bool askAuthorizationFor(bool proxy, TNetHTTPRequest& request, TNetHTTPResponse& response);
    void openTunnel();
    void prepareConnectionFields(TNetHTTPRequest& request, RouteKind route);
    // Drops a connection the peer has closed, then asks response.ReuseConnection().
    bool reusable(const TNetHTTPResponse& response);
    // The transport when it is a TLS one; null otherwise.
    TNetSSLIOHandlerSocket* secureHandler();

    TNetURI m_url;
    std::unique_ptr<TNetHTTPProtocol> m_protocol;
    TNetProxyConnectionInfo m_proxyParams;
    std::shared_ptr<TNetCookieManager> m_ownCookieManager;
    std::weak_ptr<TNetCookieManager> m_assignedCookieManager;
    int m_hopCount = 0;
    int m_authAttempts = 0;
    int m_proxyAuthAttempts = 0;
    bool m_followForAuth = false;  // the last nsFollow resends for credentials
};

// The component the program owns (NetHTTP1).
class TNetHTTP : public TNetCustomHTTP {};

}  // namespace net
