#include "net/NetHTTPHeaderInfo.h"

#include <gtest/gtest.h>

#include "net/NetCoderMIME.h"

using namespace net;

namespace {

// Names of the header lines in order (continuations skipped).
std::vector<std::string> namesOf(const TNetHeaderList& lines) {
    std::vector<std::string> names;
    for (const auto& line : lines.Lines())
        if (!line.empty() && line[0] != ' ') names.push_back(line.substr(0, line.find(':')));
    return names;
}

}  // namespace

TEST(NetHTTPHeaderInfo, RequestHeadersComeInTheFixedOrder) {
    TNetRequestHeaderInfo request;
    request.Connection = "keep-alive";
    request.ContentVersion = "1";
    request.ContentEncoding = "gzip";
    request.ContentLanguage = "en";
    request.SetContentLength(12);
    request.CacheControl = "no-cache";
    request.Date = 46000.5;
    request.Expires = 46001.5;
    request.Pragma = "no-cache";
    request.CustomHeaders.StoreValue("X-One", "1");
    request.ProxyConnection = "keep-alive";
    request.Host = "h";
    request.AcceptCharSet = "utf-8";
    request.AcceptEncoding = "identity";
    request.AcceptLanguage = "de";
    request.From = "me@h";
    request.Referer = "http://r/";
    request.LastModified = 46000.25;
    request.ContentRangeStart = 10;
    request.ContentRangeEnd = 20;
    request.BasicAuthentication = true;
    request.Username = "ann";
    request.Password = "pw";
    request.SetHeaders();
    EXPECT_EQ(namesOf(request.HeaderLines),
              (std::vector<std::string>{"Connection", "Content-Version", "Content-Encoding", "Content-Language",
                                        "Content-Type", "Content-Length", "Cache-control", "Date", "Expires",
                                        "Pragma", "X-One", "Proxy-Connection", "Host", "Accept", "Accept-Charset",
                                        "Accept-Encoding", "Accept-Language", "From", "Referer", "User-Agent",
                                        "If-Modified-Since", "Range", "Authorization"}));
    EXPECT_EQ(request.HeaderLines.LookupValue("Range"), "bytes=10-20");
    EXPECT_EQ(request.HeaderLines.LookupValue("Content-Length"), "12");
    EXPECT_EQ(request.HeaderLines.LookupValue("Authorization"), "Basic " + TNetEncoderMIME().EncodeText("ann:pw"));
    ASSERT_NE(request.Authentication, nullptr);  // kept as the request's object
    const std::string date = request.HeaderLines.LookupValue("Date");
    ASSERT_GT(date.size(), 20u);
    EXPECT_EQ(date[3], ',');

    request.ContentRangeEnd = 0;
    request.SetHeaders();
    EXPECT_EQ(request.HeaderLines.LookupValue("Range"), "bytes=10-");
}

TEST(NetHTTPHeaderInfo, ClearingKeepsCacheControlPragmaAndCustomHeaders) {
    TNetRequestHeaderInfo request;
    request.Accept = "x";
    request.UserAgent = "y";
    request.ContentType = "z";
    request.AcceptCharSet = "c";
    request.BasicAuthentication = true;
    request.Connection = "close";
    request.SetContentLength(5);
    request.ContentRangeStart = 3;
    request.Date = 1;
    request.CacheControl = "keep";
    request.Pragma = "keep";
    request.CustomHeaders.StoreValue("X", "keep");
    request.HeaderLines.Add("Old: line");
    request.Clear();
    EXPECT_EQ(request.Accept, "text/html, */*");
    EXPECT_EQ(request.UserAgent, "Mozilla/3.0 (compatible; Tessaly)");
    EXPECT_EQ(request.ContentType, "text/html");
    EXPECT_TRUE(request.AcceptCharSet.empty());
    EXPECT_FALSE(request.BasicAuthentication);
    EXPECT_TRUE(request.Connection.empty());
    EXPECT_EQ(request.ContentLength(), -1);
    EXPECT_FALSE(request.HasContentLength());
    EXPECT_EQ(request.ContentRangeStart, 0);
    EXPECT_EQ(request.Date, 0);
    EXPECT_EQ(request.HeaderLines.Count(), 0);
    EXPECT_EQ(request.CacheControl, "keep");
    EXPECT_EQ(request.Pragma, "keep");
    EXPECT_EQ(request.CustomHeaders.LookupValue("X"), "keep");
    EXPECT_EQ(request.HeaderLines.WrapWidth(), 1024);
    EXPECT_EQ(request.CustomHeaders.WrapWidth(), 78);

    TNetResponseHeaderInfo response;
    response.Location = "l";
    response.Server = "s";
    response.WWWAuthenticate.Add("Basic");
    response.Clear();
    EXPECT_TRUE(response.Location.empty());
    EXPECT_TRUE(response.Server.empty());
    EXPECT_EQ(response.WWWAuthenticate.Count(), 0);
}

TEST(NetHTTPHeaderInfo, ResponseFieldsAreReadFromTheLines) {
    TNetResponseHeaderInfo response;
    response.HeaderLines.SetText(
        "location: /next\r\nSERVER: srv\r\nContent-Length:  42 \r\nContent-Type: text/plain\r\n"
        "WWW-Authenticate: Basic realm=\"a\"\r\nWWW-Authenticate: Other x\r\nProxy-Authenticate: Basic\r\n"
        "Connection: close\r\nX-Folded: one\r\n two\r\nDate: Mon, 07 Dec 2026 23:51:00 GMT\r\n"
        "Content-Range: bytes 100-199/1000\r\nExpires: -1\r\n");
    response.ProcessHeaders();
    EXPECT_EQ(response.Location, "/next");
    EXPECT_EQ(response.Server, "srv");
    EXPECT_EQ(response.ContentLength(), 42);
    EXPECT_TRUE(response.HasContentLength());
    EXPECT_EQ(response.ContentType, "text/plain");
    EXPECT_EQ(response.Connection, "close");
    EXPECT_EQ(response.WWWAuthenticate.Count(), 2);
    EXPECT_EQ(response.ProxyAuthenticate.Count(), 1);
    EXPECT_EQ(response.ContentRangeStart, 100);
    EXPECT_EQ(response.ContentRangeEnd, 199);
    EXPECT_GT(response.Date, 46000);
    EXPECT_EQ(response.Expires, 0);  // -1 is read as a date, which it is not

    for (const char* bad : {"-3", "x", "99999999999999999999", ""}) {
        response.HeaderLines.SetText(std::string("Content-Length: ") + bad + "\r\n");
        response.ProcessHeaders();
        EXPECT_EQ(response.ContentLength(), -1) << bad;
        EXPECT_FALSE(response.HasContentLength()) << bad;
    }
    response.HeaderLines.SetText("Content-Length: 0\r\n");
    response.ProcessHeaders();
    EXPECT_TRUE(response.HasContentLength());
}

TEST(NetHTTPHeaderInfo, ProxyCredentialsObjectGoesWithAnotherServer) {
    TNetProxyConnectionInfo proxy;
    proxy.SetProxyServer("Proxy.Local");
    proxy.SetProxyPort(3128);
    proxy.Authentication = std::make_unique<TNetBasicAuthentication>();
    proxy.SetProxyServer("proxy.local");  // same server, case ignored
    proxy.SetProxyPort(3128);
    EXPECT_NE(proxy.Authentication, nullptr);
    proxy.SetProxyPort(8080);
    EXPECT_EQ(proxy.Authentication, nullptr);
    proxy.Authentication = std::make_unique<TNetBasicAuthentication>();
    proxy.SetProxyServer("other");
    EXPECT_EQ(proxy.Authentication, nullptr);
    proxy.ProxyUsername = "u";
    proxy.BasicAuthentication = true;
    proxy.Clear();
    EXPECT_TRUE(proxy.ProxyServer().empty());
    EXPECT_EQ(proxy.ProxyPort(), 0);
    EXPECT_TRUE(proxy.ProxyUsername.empty());
    EXPECT_FALSE(proxy.BasicAuthentication);
}
