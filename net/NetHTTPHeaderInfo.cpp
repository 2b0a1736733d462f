#include "net/NetHTTPHeaderInfo.h"

#include <limits>

#include "net/NetHTTPFormat.h"
#include "net/NetNumber.h"
#include "net/NetURI.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

constexpr const char* kDefaultContentType = "text/html";
constexpr const char* kDefaultAccept = "text/html, */*";
constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; Tessaly)";
constexpr int64_t kSecondsPerDay = 86400;

void storeIf(TNetHeaderList& lines, const char* name, const std::string& value) {
    if (!value.empty()) lines.StoreValue(name, value);
}

void storeDateIf(TNetHeaderList& lines, const char* name, TDateTime value) {
    if (value > 0) lines.StoreValue(name, FormatInternetDate(value, false));
}

// "bytes 0-99/200": start and end; false when either is not an integer.
bool readContentRange(std::string text, int64_t& start, int64_t& end) {
    CutToken(text, " ");
    const std::string first = CutToken(text, "-");
    const std::string second = CutToken(text, "/");
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t a = 0, b = 0;
    if (!ReadInteger(first, 0, kMax, a) || !ReadInteger(second, 0, kMax, b)) return false;
    start = a;
    end = b;
    return true;
}

// An integer other than -1 counts seconds from now; it must fit a time of
// day, else the field stays unset. Any other text is an Internet date.
TDateTime readExpires(const std::string& text) {
    int64_t seconds = 0;
    if (!ReadInteger(text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), seconds) ||
        seconds == -1)
        return InternetDateToLocal(text);
    if (seconds < 0 || seconds >= kSecondsPerDay) return 0;
    return NowLocal() + static_cast<double>(seconds) / kSecondsPerDay;
}

}  // namespace

// --- entity ---

TNetEntityHeaderInfo::TNetEntityHeaderInfo() { TNetEntityHeaderInfo::Clear(); }

void TNetEntityHeaderInfo::SetContentLength(int64_t value) {
    m_contentLength = value;
    m_hasContentLength = value >= 0;
}

void TNetEntityHeaderInfo::Clear() {
    Connection.clear();
    ContentVersion.clear();
    ContentEncoding.clear();
    ContentLanguage.clear();
    ContentType = kDefaultContentType;
    SetContentLength(-1);
    ContentRangeStart = 0;
    ContentRangeEnd = 0;
    Date = 0;
    Expires = 0;
    LastModified = 0;
    HeaderLines.Clear();
}

void TNetEntityHeaderInfo::setEntityHeaders() {
    storeIf(HeaderLines, "Connection", Connection);
    storeIf(HeaderLines, "Content-Version", ContentVersion);
    storeIf(HeaderLines, "Content-Encoding", ContentEncoding);
    storeIf(HeaderLines, "Content-Language", ContentLanguage);
    storeIf(HeaderLines, "Content-Type", ContentType);
    if (m_contentLength >= 0) HeaderLines.StoreValue("Content-Length", std::to_string(m_contentLength));
    storeIf(HeaderLines, "Cache-control", CacheControl);
    storeDateIf(HeaderLines, "Date", Date);
    storeDateIf(HeaderLines, "Expires", Expires);
    storeIf(HeaderLines, "Pragma", Pragma);
    for (const auto& line : CustomHeaders.Lines()) HeaderLines.Add(line);
}

void TNetEntityHeaderInfo::SetHeaders() {
    HeaderLines.Clear();
    setEntityHeaders();
}

void TNetEntityHeaderInfo::processEntityHeaders() {
    Connection = HeaderLines.LookupValue("Connection");
    ContentVersion = HeaderLines.LookupValue("Content-Version");
    ContentEncoding = HeaderLines.LookupValue("Content-Encoding");
    ContentLanguage = HeaderLines.LookupValue("Content-Language");
    ContentType = HeaderLines.LookupValue("Content-Type");
    int64_t length = -1;
    if (!ReadInteger(HeaderLines.LookupValue("Content-Length"), 0, std::numeric_limits<int64_t>::max(), length))
        length = -1;  // missing, negative, not a number or too large
    SetContentLength(length);
    const std::string range = HeaderLines.LookupValue("Content-Range");
    if (!range.empty()) readContentRange(range, ContentRangeStart, ContentRangeEnd);
    Date = InternetDateToLocal(HeaderLines.LookupValue("Date"));
    LastModified = InternetDateToLocal(HeaderLines.LookupValue("Last-Modified"));
    const std::string expires = HeaderLines.LookupValue("Expires");
    Expires = expires.empty() ? 0 : readExpires(expires);
    Pragma = HeaderLines.LookupValue("Pragma");
}

void TNetEntityHeaderInfo::ProcessHeaders() { processEntityHeaders(); }

// --- request ---

TNetRequestHeaderInfo::TNetRequestHeaderInfo() { TNetRequestHeaderInfo::Clear(); }

void TNetRequestHeaderInfo::Clear() {
    Accept = kDefaultAccept;
    AcceptCharSet.clear();
    UserAgent = kDefaultUserAgent;
    BasicAuthentication = false;
    TNetEntityHeaderInfo::Clear();
}

void TNetRequestHeaderInfo::SetHeaders() {
    HeaderLines.Clear();
    setEntityHeaders();
    storeIf(HeaderLines, "Proxy-Connection", ProxyConnection);
    storeIf(HeaderLines, "Host", Host);
    storeIf(HeaderLines, "Accept", Accept);
    storeIf(HeaderLines, "Accept-Charset", AcceptCharSet);
    storeIf(HeaderLines, "Accept-Encoding", AcceptEncoding);
    storeIf(HeaderLines, "Accept-Language", AcceptLanguage);
    storeIf(HeaderLines, "From", From);
    storeIf(HeaderLines, "Referer", Referer);
    storeIf(HeaderLines, "User-Agent", UserAgent);
    storeDateIf(HeaderLines, "If-Modified-Since", LastModified);
    if (ContentRangeEnd != 0)
        HeaderLines.StoreValue("Range", "bytes=" + std::to_string(ContentRangeStart) + "-" +
                                            std::to_string(ContentRangeEnd));
    else if (ContentRangeStart != 0)
        HeaderLines.StoreValue("Range", "bytes=" + std::to_string(ContentRangeStart) + "-");
    std::string authorization = Authentication ? Authentication->HeaderValue() : std::string();
    if (authorization.empty() && BasicAuthentication) {
        Authentication = std::make_unique<TNetBasicAuthentication>();
        Authentication->SetUsername(Username);
        Authentication->SetPassword(Password);
        authorization = Authentication->HeaderValue();
    }
    storeIf(HeaderLines, "Authorization", authorization);
}

// --- response ---

TNetResponseHeaderInfo::TNetResponseHeaderInfo() { TNetResponseHeaderInfo::Clear(); }

void TNetResponseHeaderInfo::Clear() {
    TNetEntityHeaderInfo::Clear();
    BodyFraming = TNetBodyFraming::bfUntilClose;
    TransferCodings.clear();
    FramingError.clear();
    UnsupportedCoding.clear();
    LengthWithCodings = false;
    Location.clear();
    Server.clear();
    WWWAuthenticate.Clear();
    ProxyAuthenticate.Clear();
}

void TNetResponseHeaderInfo::ProcessHeaders() {
    Location = HeaderLines.LookupValue("Location");
    Server = HeaderLines.LookupValue("Server");
    ProxyConnection = HeaderLines.LookupValue("Proxy-Connection");
    WWWAuthenticate.Clear();
    HeaderLines.CollectAll("WWW-Authenticate", &WWWAuthenticate);
    ProxyAuthenticate.Clear();
    HeaderLines.CollectAll("Proxy-Authenticate", &ProxyAuthenticate);
    processEntityHeaders();
    processFraming();
}

void TNetResponseHeaderInfo::processFraming() {
    std::vector<std::string> codingFields, lengthFields;
    HeaderLines.CollectAll("Transfer-Encoding", &codingFields);
    HeaderLines.CollectAll("Content-Length", &lengthFields);
    TransferCodings.clear();
    FramingError.clear();
    UnsupportedCoding.clear();
    LengthWithCodings = false;
    SetContentLength(-1);
    if (!codingFields.empty()) {
        LengthWithCodings = !lengthFields.empty();
        TransferCodings = ReadTransferCodings(codingFields);
        const bool chunked = !TransferCodings.empty() && TransferCodings.back() == "chunked";
        BodyFraming = chunked ? TNetBodyFraming::bfChunked : TNetBodyFraming::bfUntilClose;
        const size_t undoable = TransferCodings.size() - (chunked ? 1 : 0);
        for (size_t i = 0; i < undoable; ++i) {
            const std::string& coding = TransferCodings[i];
            if (coding == "identity") continue;  // an old name for no coding at all
            if (coding == "chunked") FramingError = http::text::kChunkedNotLast;
            else if (UnsupportedCoding.empty()) UnsupportedCoding = coding;
        }
        return;
    }
    if (lengthFields.empty()) {
        BodyFraming = TNetBodyFraming::bfUntilClose;
        return;
    }
    int64_t length = 0;
    if (!ReadContentLength(lengthFields, length)) {
        FramingError = http::text::kContentLengthInvalid;
        BodyFraming = TNetBodyFraming::bfUntilClose;
        return;
    }
    BodyFraming = TNetBodyFraming::bfLength;
    SetContentLength(length);
}

// --- proxy ---

void TNetProxyConnectionInfo::Clear() {
    m_server.clear();
    m_port = 0;
    ProxyUsername.clear();
    ProxyPassword.clear();
    BasicAuthentication = false;
    Authentication.reset();
}

void TNetProxyConnectionInfo::SetProxyServer(const std::string& server) {
    if (!rtl::equalsIgnoreCase(server, m_server)) Authentication.reset();
    m_server = server;
}

void TNetProxyConnectionInfo::SetProxyPort(int port) {
    if (port != m_port) Authentication.reset();
    m_port = port;
}

}  // namespace net
