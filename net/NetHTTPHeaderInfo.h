#pragma once
// The header records of the HTTP client: the entity fields shared by requests
// and responses, the request fields (built into header lines in a fixed
// order), the response fields (read from received header lines) and the
// proxy settings. Every record owns its HeaderLines (wrapped at 1024 columns)
// and its CustomHeaders (wrapped at 78).
// Not thread-safe: a record belongs to one client.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/NetAuthentication.h"
#include "net/NetDateTime.h"
#include "net/NetHTTPFraming.h"
#include "net/NetHeaderList.h"

namespace net {

class TNetEntityHeaderInfo {
public:
    TNetEntityHeaderInfo();
    virtual ~TNetEntityHeaderInfo() = default;
    TNetEntityHeaderInfo(const TNetEntityHeaderInfo&) = delete;
    TNetEntityHeaderInfo& operator=(const TNetEntityHeaderInfo&) = delete;

    // Resets the fields to their defaults; CacheControl, Pragma and
    // CustomHeaders keep their values.
    virtual void Clear();
    // Rebuilds HeaderLines from the fields.
    virtual void SetHeaders();
    // Fills the fields from HeaderLines.
    virtual void ProcessHeaders();

    int64_t ContentLength() const { return m_contentLength; }
    // Also sets HasContentLength to (value >= 0).
    void SetContentLength(int64_t value);
    bool HasContentLength() const { return m_hasContentLength; }

    std::string CacheControl;
    std::string Connection;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType;
    std::string ContentVersion;
    std::string Pragma;
    int64_t ContentRangeStart = 0;
    int64_t ContentRangeEnd = 0;
    TDateTime Date = 0;  // 0: unset
    TDateTime Expires = 0;
    TDateTime LastModified = 0;
    TNetHeaderList CustomHeaders{TNetHeaderList::kDefaultWrapWidth};
    TNetHeaderList HeaderLines{TNetHeaderList::kHeadWrapWidth};

protected:
    void setEntityHeaders();
    void processEntityHeaders();

private:
    int64_t m_contentLength = -1;
    bool m_hasContentLength = false;
};

class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
public:
    TNetRequestHeaderInfo();
    void Clear() override;
    // The header order of a request head; an Authorization line comes from
    // Authentication, or from a Basic object made of Username and Password
    // when BasicAuthentication is on.
    void SetHeaders() override;

    std::string Accept;
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    bool BasicAuthentication = false;
    std::string Host;
    std::string From;
    std::string Password;
    std::string Referer;
    std::string UserAgent;
    std::string Username;
    std::string ProxyConnection;
    // The request's credentials object (owned); null when none.
    std::unique_ptr<TNetAuthentication> Authentication;
};

class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
public:
    TNetResponseHeaderInfo();
    void Clear() override;
    // Unreadable Content-Range numbers and Expires values leave the field unset.
    // The framing follows HTTP/1.1: Transfer-Encoding wins over Content-Length;
    // an invalid Content-Length is kept as FramingError, not read as a number.
    void ProcessHeaders() override;

    // Where the body ends; ContentLength is -1 unless it is bfLength.
    TNetBodyFraming BodyFraming = TNetBodyFraming::bfUntilClose;
    // The codings of every Transfer-Encoding field, lower-cased, in order.
    std::vector<std::string> TransferCodings;
    // Set when the framing fields are invalid (then the body cannot be read).
    std::string FramingError;
    // The first coding the client cannot undo ("" when none).
    std::string UnsupportedCoding;
    // Both Transfer-Encoding and Content-Length came: a sign that some hop
    // framed the message differently, so the connection is not reused.
    bool LengthWithCodings = false;

    std::string Location;
    std::string Server;
    std::string ProxyConnection;
    TNetHeaderList WWWAuthenticate;    // one entry per challenge header
    TNetHeaderList ProxyAuthenticate;

private:
    void processFraming();
};

class TNetProxyConnectionInfo {
public:
    TNetProxyConnectionInfo() = default;
    TNetProxyConnectionInfo(const TNetProxyConnectionInfo&) = delete;
    TNetProxyConnectionInfo& operator=(const TNetProxyConnectionInfo&) = delete;

    // Empty server, port 0, no credentials; frees the authentication object.
    void Clear();
    const std::string& ProxyServer() const { return m_server; }
    // A different server (case ignored) frees the authentication object.
    void SetProxyServer(const std::string& server);
    int ProxyPort() const { return m_port; }
    void SetProxyPort(int port);

    std::string ProxyUsername;
    std::string ProxyPassword;
    bool BasicAuthentication = false;
    std::unique_ptr<TNetAuthentication> Authentication;  // owned

private:
    std::string m_server;
    int m_port = 0;
};

}  // namespace net
