#include "net/NetHTTP.h"

#include <algorithm>
#include <climits>

#include "net/NetHTTPFormat.h"
#include "net/NetNumber.h"
#include "net/NetSSLIOHandlerSocket.h"
#include "net/NetScope.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

// Drained and error bodies are kept in memory only up to this size; a longer
// one ends its read and the connection (it can no longer be reused).
constexpr int64_t kMaxSideBodyBytes = int64_t{1} << 20;
// DecideStep rounds of one authorisation question.
constexpr int kMaxAuthSteps = 16;

struct SideBodyFull {};

// A string stream that refuses to grow past its cap.
class TCappedStringStream : public rtl::TStringStream {
public:
    explicit TCappedStringStream(int64_t cap) : m_cap(cap) {}
    int64_t write(const void* buffer, int64_t count) override {
        if (position() + count > m_cap) throw SideBodyFull();
        return TStringStream::write(buffer, count);
    }
    // The bytes written (a presized tail is not text that arrived).
    std::string text() { return dataString().substr(0, static_cast<size_t>(position())); }

private:
    int64_t m_cap;
};

// A port text as a number; text that is not one counts as 0.
int portNumber(const std::string& text) {
    int64_t value = 0;
    return ReadInteger(text, 0, 65535, value) ? static_cast<int>(value) : 0;
}

// 304 and 1xx answers carry no body by definition: waiting for one would
// turn the status into a read time-out.
bool statusHasNoBody(int code) { return code == 304 || (code >= 100 && code < 200); }

// Interim answers (102, 103, ...) precede the real one; 101 ends HTTP on the
// connection and so is a final answer.
bool isInterim(int code) { return code >= 100 && code < 200 && code != 101; }

// http and https URLs without a path mean "/".
std::string pathOrRoot(std::string path) { return path.empty() ? std::string("/") : path; }

// The parts of an authority: [user[:password]@]host[:port].
struct TAuthority {
    std::string Username, Password, Host, Port;
};

TAuthority splitAuthority(std::string text) {
    TAuthority authority;
    const size_t at = text.rfind('@');
    if (at != std::string::npos) {
        std::string credentials = text.substr(0, at);
        text.erase(0, at + 1);
        authority.Username = CutToken(credentials, ":");
        authority.Password = credentials;
    }
    authority.Host = CutToken(text, ":");
    authority.Port = text;
    return authority;
}

// The current URL as the base of the next reference.
TNetURIParts baseOf(const TNetURI& url) {
    TNetURIParts base;
    base.HasScheme = true;
    base.Scheme = url.Protocol.empty() ? std::string("http") : url.Protocol;
    base.HasAuthority = true;
    base.Path = url.Directory + url.Resource;
    base.HasQuery = !url.Query.empty();
    base.Query = base.HasQuery ? url.Query.substr(1) : std::string();
    return base;
}

}  // namespace

const char* MethodWord(TNetHTTPMethod method) {
    switch (method) {
        case hmHead: return "HEAD ";
        case hmGet: return "GET ";
        case hmPost: return "POST ";
        case hmOptions: return "OPTIONS ";
        case hmTrace: return "TRACE ";
        case hmPut: return "PUT ";
        case hmDelete: return "DELETE ";
        case hmConnect: return "CONNECT ";
    }
    return "GET ";
}

// --- response record ---

int TNetHTTPResponse::StatusCode() const {
    std::string rest = StatusLine;
    if (rest.find(' ') == std::string::npos) return -1;
    CutToken(rest, " ");
    rest = rtl::trimControls(rest);
    const std::string number = CutToken(rest, " ");
    int64_t value = 0;
    return ReadInteger(number, INT_MIN, INT_MAX, value) ? static_cast<int>(value) : -1;
}

bool TNetHTTPResponse::ReuseConnection() const {
    if (!m_client.IsConnected()) return false;
    // A head framed two ways, or not at all, leaves the rest of the stream in doubt.
    if (LengthWithCodings || !FramingError.empty()) return false;
    if (StatusCode() == 101) return false;  // the peer speaks another protocol from here on
    const std::string connection = rtl::trimBlanks(Connection);
    const std::string proxy = rtl::trimBlanks(ProxyConnection);
    if (m_client.ProtocolVersion == pv1_0)
        return rtl::equalsIgnoreCase(connection, "KEEP-ALIVE") || rtl::equalsIgnoreCase(proxy, "KEEP-ALIVE");
    return !(rtl::equalsIgnoreCase(connection, "CLOSE") || rtl::equalsIgnoreCase(proxy, "CLOSE"));
}

// --- the client ---

TNetCustomHTTP::TNetCustomHTTP() : m_protocol(std::make_unique<TNetHTTPProtocol>(*this)) {
    TNetTCPClient::SetPort(80);  // CurrentURL starts empty
}

TNetCustomHTTP::~TNetCustomHTTP() = default;

std::shared_ptr<TNetCookieManager> TNetCustomHTTP::CookieManager() const {
    if (m_ownCookieManager) return m_ownCookieManager;
    return m_assignedCookieManager.lock();
}

void TNetCustomHTTP::SetCookieManager(std::shared_ptr<TNetCookieManager> manager) {
    m_ownCookieManager.reset();
    m_assignedCookieManager = manager;
}

void TNetCustomHTTP::SetHost(const std::string& host) {
    TNetTCPClient::SetHost(host);
    m_url.Host = host;
}

void TNetCustomHTTP::SetPort(int port) {
    TNetTCPClient::SetPort(port);
    m_url.Port = std::to_string(port);
}

void TNetCustomHTTP::NotifyDisconnected() {
    TNetTCPClient::NotifyDisconnected();
    if (!m_protocol) return;
    auto& authentication = Request().Authentication;
    if (authentication && authentication->CurrentStep == authentication->StepCount()) authentication.reset();
    if (m_proxyParams.Authentication) m_proxyParams.Authentication->ResetSteps();
}

bool TNetCustomHTTP::reusable(const TNetHTTPResponse& response) {
    CheckClosed(false, false);
    return response.ReuseConnection();
}

TNetSSLIOHandlerSocket* TNetCustomHTTP::secureHandler() {
    return dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler().get());
}

void TNetCustomHTTP::GetToStream(const std::string& url, rtl::TStream& stream) {
    RunRequest(hmGet, url, &stream, nullptr);
}

// --- the cycle ---

void TNetCustomHTTP::RunRequest(TNetHTTPMethod verb, const std::string& url, rtl::TStream* body,
                                rtl::TStream* upload) {
    const int64_t bodyStart = body ? body->position() : 0;
    m_authAttempts = m_proxyAuthAttempts = m_hopCount = 0;
    Request().Target = url;
    Request().Verb = verb;
    Request().UploadStream = upload;
    Response().BodyStream = body;
    try {
        while (runHop(url, bodyStart) != nsDone) {
        }
    } catch (const ENetHTTPProtocolException&) {
        // The error body was read to its end: the connection may serve again.
        if (!reusable(Response())) CloseConnection();
        throw;
    } catch (...) {
        // Any other failure may leave unread bytes behind: never reuse.
        closeQuietly([this] { CloseConnection(); });
        throw;
    }
    if (!reusable(Response())) CloseConnection();
    m_hopCount = 0;
}

NextStep TNetCustomHTTP::runHop(const std::string& url, int64_t bodyStart) {
    ++m_hopCount;
    ResolveTarget(Request());
    OpenRoute(Request(), Response());
    readResponseHead(*m_protocol);
    const NextStep step = JudgeResponse(*m_protocol);
    switch (step) {
        case nsFollow:
            if (rtl::TStream* body = Response().BodyStream) {
                body->setPosition(bodyStart);
                body->setSize(bodyStart);
            }
            // A resend for credentials keeps counting against AuthRetries.
            if (!m_followForAuth) m_authAttempts = m_proxyAuthAttempts = 0;
            break;
        case nsRetryAuth:
            --m_hopCount;
            Request().Target = url;
            break;
        case nsDone:
            break;
        case nsUndecided:
            throw ENetException(http::text::kUndefinedSituation);
    }
    return step;
}

void TNetCustomHTTP::readResponseHead(TNetHTTPProtocol& protocol) {
    TNetHTTPResponse& response = protocol.Response;
    for (int interim = 0;; ++interim) {
        response.StatusLine = readStatusLine();
        ReadHead(response);
        StoreCookies(protocol.Request, response);
        if (!isInterim(response.StatusCode())) return;
        if (interim >= http::kMaxInterimHeads) throw ENetHTTPLimitExceeded(http::text::kTooManyInterimHeads);
    }
}

// Bytes that cannot stand in a request line are escaped once, here, so the
// URL kept as the base of the next reference is the one that was sent.
void TNetCustomHTTP::takeTargetPath(const TNetURIParts& target) {
    const std::string path = EncodeTargetBytes(pathOrRoot(target.Path));
    const size_t slash = path.rfind('/');
    m_url.Directory = path.substr(0, slash + 1);
    m_url.Resource = path.substr(slash + 1);
    m_url.Query = target.HasQuery ? "?" + EncodeTargetBytes(target.Query) : std::string();
    m_url.Fragment = target.Fragment;
}

std::string TNetCustomHTTP::readStatusLine() {
    std::string line = ReadLine();
    if (line.empty()) line = ReadLine();  // one empty line before a status line is tolerated
    if (HasBareCR(line)) throw ENetHTTPMessageError(http::text::kBareCR);
    return line;
}

void TNetCustomHTTP::ResolveTarget(TNetHTTPRequest& request) {
    // A CR or LF (from a URL or a Location) would end the request line early
    // and let the rest pass as header lines of its own.
    if (request.Target.find_first_of("\r\n") != std::string::npos)
        throw ENetURIException(http::text::kLineBreakInTarget);
    const bool asteriskForm = request.Verb == hmOptions && request.Target == "*";
    std::string text = request.Target;
    // Backslashes before the query count as '/', as typed URLs mean them.
    const size_t pathEnd = std::min(text.find_first_of("?#"), text.size());
    std::replace(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pathEnd), '\\', '/');
    const TNetURIParts reference = SplitReference(text);
    const TNetURIParts target = ResolveReference(baseOf(m_url), reference);
    const TAuthority authority = reference.HasAuthority ? splitAuthority(target.Authority) : TAuthority();
    if (!authority.Username.empty()) {
        request.Username = authority.Username;
        request.Password = authority.Password;
    }
    m_url.Username = request.Username;
    m_url.Password = request.Password;
    takeTargetPath(target);
    if (!authority.Host.empty()) m_url.Host = authority.Host;
    m_url.Protocol = target.Scheme;
    if (!authority.Port.empty()) {
        m_url.Port = authority.Port;
    } else {
        const int current = portNumber(m_url.Port);
        if (current == 0 || current == 80 || current == 443) {
            if (rtl::equalsIgnoreCase(m_url.Protocol, "http")) m_url.Port = "80";
            else if (rtl::equalsIgnoreCase(m_url.Protocol, "https")) m_url.Port = "443";
            else throw ENetUnknownProtocol("");
        }
    }
    request.Target = m_url.Directory + m_url.Resource + m_url.Query;
    if (asteriskForm) request.Target = "*";
    if (m_url.Host.find_first_of("\r\n") != std::string::npos) throw ENetURIException(http::text::kLineBreakInTarget);
    const TNetHTTPMethod verb = request.Verb;
    if ((verb == hmOptions || verb == hmTrace || verb == hmPut || verb == hmDelete) && ProtocolVersion != pv1_1)
        throw ENetException(http::text::kMethodRequires11);
    const bool sendsBody = (verb == hmPost || verb == hmPut) && request.UploadStream;
    request.SetContentLength(sendsBody ? request.UploadStream->size() : -1);
    request.Host = m_url.Host + (m_url.Port != "80" ? ":" + m_url.Port : std::string());
}

RouteKind TNetCustomHTTP::ChooseRoute() {
    TNetSSLIOHandlerSocket* secure = secureHandler();
    const bool https = rtl::equalsIgnoreCase(m_url.Protocol, "https");
    if (secure) secure->SetPeerName(m_url.Host);  // through a tunnel the socket's host is the proxy
    if (m_proxyParams.ProxyServer().empty()) {
        const int port = portNumber(m_url.Port);
        if (!rtl::equalsIgnoreCase(Host(), m_url.Host) || Port() != port) {
            if (IsConnected()) CloseConnection();
            SetHost(m_url.Host);
            SetPort(port);
        }
        if (https) {
            if (!secure) throw ENetIOHandlerPropInvalid(http::text::kIOHandlerInvalid);
            secure->SetPassThrough(false);
            return rkDirectSecure;
        }
        if (secure) secure->SetPassThrough(true);
        return rkDirect;
    }
    if (!rtl::equalsIgnoreCase(Host(), m_proxyParams.ProxyServer()) || Port() != m_proxyParams.ProxyPort()) {
        if (IsConnected()) CloseConnection();
        TNetTCPClient::SetHost(m_proxyParams.ProxyServer());
        TNetTCPClient::SetPort(m_proxyParams.ProxyPort());
    }
    // A transport the client made for itself counts as none.
    const bool foreignHandler = IOHandler() && !OwnsIOHandler() && !secure;
    if (https && foreignHandler) throw ENetIOHandlerPropInvalid(http::text::kIOHandlerInvalid);
    if (secure) secure->SetPassThrough(true);
    return https ? rkProxyTunnel : rkProxy;
}

void TNetCustomHTTP::prepareConnectionFields(TNetHTTPRequest& request, RouteKind route) {
    switch (route) {
        case rkDirect:
            if (ProtocolVersion == pv1_0 && request.Connection.empty()) request.Connection = "keep-alive";
            break;
        case rkProxy:
            if (ProtocolVersion == pv1_0 && request.Connection.empty()) request.ProxyConnection = "keep-alive";
            break;
        case rkDirectSecure:
        case rkProxyTunnel:
            request.Connection.clear();
            break;
    }
}

void TNetCustomHTTP::OpenRoute(TNetHTTPRequest& request, TNetHTTPResponse& response) {
    request.RouteUsed = ChooseRoute();
    if (request.RouteUsed == rkProxy) request.Target = m_url.ProxyURL();
    prepareConnectionFields(request, request.RouteUsed);
    if (request.RouteUsed == rkProxyTunnel) openTunnel();
    else EnsureOpen(response);
    SendHead(request, &m_url);
    if ((request.Verb == hmPost || request.Verb == hmPut) && request.UploadStream)
        WriteFromStream(*request.UploadStream, true);
}

void TNetCustomHTTP::openTunnel() {
    TNetHTTPProtocol tunnel(*this);
    rtl::TMemoryStream body;
    TNetHTTPRequest& request = tunnel.Request;
    request.UserAgent = Request().UserAgent;
    request.Host = Request().Host;
    request.SetContentLength(Request().ContentLength());
    request.Pragma = "no-cache";
    request.Target = m_url.Host + ":" + m_url.Port;
    request.Verb = hmConnect;
    request.ProxyConnection = "keep-alive";
    tunnel.Response.BodyStream = &body;
    // Each refused round either asks for credentials (bounded by AuthRetries)
    // or follows a redirect; both are bounded here as well.
    const int maxRounds = std::max(AuthRetries, 0) + std::max(RedirectMaximum, 0) + 1;
    for (int round = 0;; ++round) {
        EnsureOpen(tunnel.Response);
        SendHead(request, nullptr);
        tunnel.Response.StatusLine = ReadLine();
        if (HasBareCR(tunnel.Response.StatusLine)) throw ENetHTTPMessageError(http::text::kBareCR);
        if (!tunnel.Response.StatusLine.empty()) {
            ReadHead(tunnel.Response);
            StoreCookies(request, tunnel.Response);
        } else {
            tunnel.Response.StatusLine = "HTTP/1.0 200 OK";
            tunnel.Response.Connection = "close";
        }
        if (tunnel.Response.StatusCode() == 200) break;
        if (round >= maxRounds) RaiseStatus(tunnel.Response);
        JudgeResponse(tunnel);
    }
    if (TNetSSLIOHandlerSocket* secure = secureHandler()) secure->SetPassThrough(false);
}

void TNetCustomHTTP::EnsureOpen(TNetHTTPResponse& response) {
    if (!reusable(response) && IsConnected()) CloseConnection();
    PeekClosed(false);
    if (!IsConnected()) {
        try {
            OpenConnection(ReadTimeout);
        } catch (const ENetSSLProtocolReplyError&) {
            CloseConnection();  // a failed handshake leaves nothing to reuse
            throw;
        }
    }
}

void TNetCustomHTTP::SendHead(TNetHTTPRequest& request, const TNetURI* url) {
    request.SetHeaders();
    std::string proxyAuthorization;
    if (m_proxyParams.Authentication) {
        proxyAuthorization = m_proxyParams.Authentication->HeaderValue();
    } else if (m_proxyParams.BasicAuthentication) {
        m_proxyParams.Authentication = std::make_unique<TNetBasicAuthentication>();
        m_proxyParams.Authentication->SetUsername(m_proxyParams.ProxyUsername);
        m_proxyParams.Authentication->SetPassword(m_proxyParams.ProxyPassword);
        proxyAuthorization = m_proxyParams.Authentication->HeaderValue();
    }
    if (!proxyAuthorization.empty()) request.HeaderLines.StoreValue("Proxy-Authorization", proxyAuthorization);
    if (url) AddCookieHeader(*url, request);

    StartWriteQueue(-1);
    try {
        WriteLine(MethodWord(request.Verb) + request.Target + (ProtocolVersion == pv1_0 ? " HTTP/1.0" : " HTTP/1.1"));
        for (const auto& line : request.HeaderLines.Lines())
            if (!line.empty()) WriteLine(line);
        WriteLine("");
    } catch (...) {
        DiscardWriteQueue();
        EndWriteQueue();
        throw;
    }
    EndWriteQueue();
}

void TNetCustomHTTP::readHeaderLines(TNetHTTPResponse& response) {
    int64_t bytes = 0;
    while (true) {
        std::string line = ReadLine();
        if (line.empty()) return;
        if (HasBareCR(line)) throw ENetHTTPMessageError(http::text::kBareCR);
        bytes += static_cast<int64_t>(line.size());
        if (response.HeaderLines.Count() >= http::kMaxHeadLines || bytes > http::kMaxHeadBytes)
            throw ENetHTTPLimitExceeded(http::text::kHeadTooLarge);
        response.HeaderLines.Add(std::move(line));
    }
}

void TNetCustomHTTP::ReadHead(TNetHTTPResponse& response) {
    response.Clear();
    try {
        readHeaderLines(response);
    } catch (const ENetConnClosedGracefully&) {
        CloseConnection();  // the head ends where the peer stopped
    }
    response.ProcessHeaders();
}

// --- bodies ---

// One work period of exactly length bytes, read in slices so the stream is
// never presized far beyond what arrived. Stops early only after our own
// close (a Stop); a peer that ends the body short raises
// ENetConnClosedGracefully, and the connection's other exceptions propagate.
void TNetCustomHTTP::readBodyExact(TNetHTTPResponse& response, int64_t length) {
    rtl::TStream& stream = *response.BodyStream;
    const uint64_t closesBefore = LocalCloseCount();
    const TNetWorkScope work(*this, TWorkMode::wmRead, length);
    int64_t remaining = length;
    while (remaining > 0) {
        const int64_t slice = std::min(remaining, http::kBodySlice);
        const int64_t before = stream.position();
        ReadToStream(stream, slice, false);
        const int64_t got = stream.position() - before;
        remaining -= got;
        if (got < slice) {
            if (LocalCloseCount() == closesBefore) throw ENetConnClosedGracefully();
            break;
        }
    }
}

int64_t TNetCustomHTTP::ChunkLength() { return ReadChunkSize(ReadLine()); }

void TNetCustomHTTP::readChunkedBody(TNetHTTPResponse& response) {
    ReportStatus(TNetStatus::hsStatusText, http::text::kChunkStarted);
    // Each round reads a chunk of at least one byte or ends: the peer's bytes bound it.
    for (int64_t size = ChunkLength(); size > 0; size = ChunkLength()) {
        const uint64_t closesBefore = LocalCloseCount();
        readBodyExact(response, size);
        // Our own close (a Stop) inside a chunk leaves nothing to read on, whichever transport was in use.
        if (LocalCloseCount() != closesBefore) throw ENetNotConnected(text::kNotConnected);
        if (!ReadLine().empty()) throw ENetHTTPMessageError(http::text::kChunkNotEnded);
    }
    // Trailer fields up to the empty line, bounded like a head; none is used.
    int64_t bytes = 0;
    for (int lines = 0;; ++lines) {
        const std::string line = ReadLine();
        if (line.empty()) return;
        if (HasBareCR(line)) throw ENetHTTPMessageError(http::text::kBareCR);
        bytes += static_cast<int64_t>(line.size());
        if (lines >= http::kMaxHeadLines || bytes > http::kMaxHeadBytes)
            throw ENetHTTPLimitExceeded(http::text::kTrailerTooLarge);
    }
}

void TNetCustomHTTP::ReadBody(TNetHTTPResponse& response) {
    if (!response.BodyStream) {
        // Nobody takes the body, so its end is never found: the connection cannot serve again.
        if (!(response.BodyFraming == TNetBodyFraming::bfLength && response.ContentLength() == 0)) CloseConnection();
        return;
    }
    if (!response.FramingError.empty()) throw ENetHTTPMessageError(response.FramingError);
    if (!response.UnsupportedCoding.empty())
        throw ENetHTTPMessageError(http::text::kCodingUnsupported + response.UnsupportedCoding);
    switch (response.BodyFraming) {
        case TNetBodyFraming::bfLength:
            if (response.ContentLength() > 0) readBodyExact(response, response.ContentLength());
            return;
        case TNetBodyFraming::bfChunked:
            readChunkedBody(response);
            return;
        case TNetBodyFraming::bfUntilClose:
            ReadToStream(*response.BodyStream, -1, true);
            return;
    }
}

void TNetCustomHTTP::DrainBody(TNetHTTPResponse& response) {
    TCappedStringStream temporary(kMaxSideBodyBytes);
    const TScopedValue<rtl::TStream*> body(response.BodyStream, &temporary);
    ReadBody(response);
}

// Drains with a time-out of its own; a failure is swallowed, but the
// connection then holds an unknown rest and is closed.
void TNetCustomHTTP::readWithTimeout(TNetHTTPResponse& response, int timeoutMs) {
    const TScopedValue<int> timeout(ReadTimeout, timeoutMs);
    try {
        DrainBody(response);
    } catch (...) {
        closeQuietly([this] { CloseConnection(); });
    }
}

void TNetCustomHTTP::RaiseStatus(TNetHTTPResponse& response) {
    TCappedStringStream temporary(kMaxSideBodyBytes);
    {
        const TScopedValue<int> timeout(ReadTimeout, http::kErrorBodyTimeoutMs);
        const TScopedValue<rtl::TStream*> body(response.BodyStream, &temporary);
        try {
            if (!statusHasNoBody(response.StatusCode())) ReadBody(response);
        } catch (const SideBodyFull&) {
            CloseConnection();  // the rest of an oversized error body stays unread
        }
    }
    throw ENetHTTPProtocolException(response.StatusCode(), response.StatusLine, temporary.text());
}

// --- judging ---

NextStep TNetCustomHTTP::JudgeResponse(TNetHTTPProtocol& protocol) {
    const int code = protocol.Response.StatusCode();
    m_followForAuth = false;
    // A Location on any other answer is kept in the response but not followed:
    // a 201 names what it made, and its body is the answer.
    if (code / 100 == 3 && code != 304) return judgeRedirect(protocol);
    return judgeOther(protocol);
}

NextStep TNetCustomHTTP::judgeRedirect(TNetHTTPProtocol& protocol) {
    TNetHTTPRequest& request = protocol.Request;
    TNetHTTPResponse& response = protocol.Response;
    std::string dest = response.Location;
    TNetHTTPMethod verb = request.Verb;
    NextStep step = nsDone;
    if (HandleRedirects && m_hopCount < RedirectMaximum) {
        // A 3xx without a place to go is the answer itself, and not a success.
        if (!AskRedirect(dest, verb, m_hopCount) || dest.empty()) RaiseStatus(response);
        request.Target = dest;
        request.Verb = verb;
        step = nsFollow;
    } else if (HandleRedirects) {
        // The chain hit RedirectMaximum: a failure, not an empty success.
        RaiseStatus(response);
    } else {
        if (!AskRedirect(dest, verb, m_hopCount)) RaiseStatus(response);
        response.Location = dest;
    }
    if (IsConnected()) readWithTimeout(response, http::kDrainTimeoutMs);
    return step;
}

NextStep TNetCustomHTTP::judgeOther(TNetHTTPProtocol& protocol) {
    TNetHTTPRequest& request = protocol.Request;
    TNetHTTPResponse& response = protocol.Response;
    const int code = response.StatusCode();
    NextStep step = nsUndecided;
    bool authorised = false;
    if (code / 100 != 2) {
        step = nsFollow;
        if (code == 401 || code == 407) {
            const bool proxy = code == 407;
            const int attempts = proxy ? m_proxyAuthAttempts : m_authAttempts;
            if (attempts >= AuthRetries ||
                !(proxy ? AskProxyAuthorization(request, response) : AskAuthorization(request, response))) {
                auto& object = proxy ? m_proxyParams.Authentication : request.Authentication;
                if (object) object->ResetSteps();
                RaiseStatus(response);
            }
            authorised = true;
        } else {
            RaiseStatus(response);
        }
    }
    if (IsConnected()) {
        if (authorised && (HTTPOptions & hoInProcessAuth)) {
            readWithTimeout(response, http::kDrainTimeoutMs);
            step = nsRetryAuth;
        } else if (authorised) {
            // Without in-process authorisation the refusal is the answer:
            // never hand a 401/407 body over as a success.
            RaiseStatus(response);
        } else {
            if (code != 204 && request.Verb != hmHead) ReadBody(response);
            step = nsDone;
        }
    } else if (authorised) {
        m_followForAuth = true;
    }
    return step;
}

bool TNetCustomHTTP::AskRedirect(std::string& dest, TNetHTTPMethod& verb, int count) {
    bool handled = HandleRedirects;
    if (OnRedirect) {
        int numRedirect = count;
        OnRedirect(*this, dest, numRedirect, handled, verb);
    }
    return handled;
}

// --- cookies ---

void TNetCustomHTTP::StoreCookies(TNetHTTPRequest& /*request*/, TNetHTTPResponse& response) {
    std::shared_ptr<TNetCookieManager> manager = CookieManager();
    if (!manager && AllowCookies) {
        m_ownCookieManager = std::make_shared<TNetCookieManager>();
        manager = m_ownCookieManager;
    }
    if (!manager) return;
    std::vector<std::string> cookies, cookies2;
    response.HeaderLines.CollectAll("Set-cookie", &cookies);
    response.HeaderLines.CollectAll("Set-cookie2", &cookies2);
    for (const auto& value : cookies) manager->AcceptSetCookie(value, m_url.Host);
    for (const auto& value : cookies2) manager->AcceptSetCookie2(value, m_url.Host);
}

void TNetCustomHTTP::AddCookieHeader(const TNetURI& url, TNetHTTPRequest& request) {
    std::shared_ptr<TNetCookieManager> manager = CookieManager();
    if (!manager) return;
    // Secure cookies only when TLS runs, not over a TLS handler in pass-through.
    TNetSSLIOHandlerSocket* secure = secureHandler();
    const std::string value = manager->CookieHeaderFor(url, secure && secure->IsSecure());
    if (!value.empty()) request.HeaderLines.StoreValue("Cookie", value);
}

// --- authorisation ---

bool TNetCustomHTTP::AskAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response) {
    return askAuthorizationFor(false, request, response);
}

bool TNetCustomHTTP::AskProxyAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response) {
    return askAuthorizationFor(true, request, response);
}

bool TNetCustomHTTP::askAuthorizationFor(bool proxy, TNetHTTPRequest& request, TNetHTTPResponse& response) {
    ++(proxy ? m_proxyAuthAttempts : m_authAttempts);
    std::unique_ptr<TNetAuthentication>& object = proxy ? m_proxyParams.Authentication : request.Authentication;
    const TNetHeaderList& challenges = proxy ? response.ProxyAuthenticate : response.WWWAuthenticate;
    if (!object) {
        const TNetAuthenticationClass* cls = nullptr;
        for (std::string line : challenges.Lines())
            if ((cls = FindScheme(CutToken(line, " "))) != nullptr) break;
        if (!cls) return false;
        auto& select = proxy ? OnSelectProxyAuthorization : OnSelectAuthorization;
        if (select) select(*this, cls, challenges);
        if (!cls) return false;
        object = cls->create();
    }
    auto& handler = proxy ? OnProxyAuthorization : OnAuthorization;
    if (!handler) return false;
    std::string& username = proxy ? m_proxyParams.ProxyUsername : request.Username;
    std::string& password = proxy ? m_proxyParams.ProxyPassword : request.Password;
    bool& basic = proxy ? m_proxyParams.BasicAuthentication : request.BasicAuthentication;
    if (proxy) {
        password.clear();
        object->ResetSteps();
    }
    object->SetUsername(username);
    object->SetPassword(password);
    object->SetChallenges(challenges);
    for (int round = 0; round < kMaxAuthSteps; ++round) {
        switch (object->DecideStep()) {
            case asSend: return true;
            case asFail: return false;
            case asAsk: break;
        }
        object->SetUsername(username);
        object->SetPassword(password);
        bool handled = false;
        handler(*this, *object, handled);
        if (!handled) return false;
        basic = true;
        username = object->Username();
        password = object->Password();
    }
    return false;
}

}  // namespace net
