// Message framing and redirect targets against a real loopback server: each
// answer is one a server or proxy really sends, and after each one the kept
// connection either serves the next answer correctly or is not used again.
#include "net/NetHTTPFraming.h"

#include <gtest/gtest.h>

#include <map>

#include "net/NetHTTP.h"
#include "net/NetPageFetcher.h"
#include "HTTPTestServer.h"
#include "ExpectThrow.h"

using namespace net;
using httptest::Conn;
using httptest::HTTPTestServer;
using httptest::requestLine;
using httptest::response;

namespace {

// The path of a request line ("GET /a?b HTTP/1.1" gives "/a?b").
std::string pathOf(const std::string& head) {
    const std::string line = requestLine(head);
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    return first == std::string::npos || last <= first ? line : line.substr(first + 1, last - first - 1);
}

// Serves the heads of every connection: answers[path] for a known path,
// else a 200 whose body is the path. Every answer is sent whole.
HTTPTestServer::Script serveMap(std::map<std::string, std::string> answers) {
    return [answers](Conn& conn) {
        for (std::string head = conn.readHead(); !head.empty(); head = conn.readHead()) {
            const std::string path = pathOf(head);
            const auto it = answers.find(path);
            const std::string answer =
                it != answers.end() ? it->second : response("HTTP/1.1 200 OK", "", "next:" + path);
            if (!conn.send(answer)) return;
        }
    };
}

struct Outcome {
    std::string body;
    std::string error;    // class name, "" on success
    std::string message;  // what() of the error
};

Outcome get(TNetHTTP& http, const std::string& url) {
    Outcome outcome;
    rtl::TStringStream body;
    try {
        http.GetToStream(url, body);
    } catch (const rtl::Exception& e) {
        outcome.error = e.className();
        outcome.message = e.what();
    }
    outcome.body = body.dataString();
    return outcome;
}

void configure(TNetHTTP& http) {
    ConfigurePageFetcher(http);
    http.ReadTimeout = 3000;  // a wrong wait fails the test instead of hanging it
}

const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

}  // namespace

TEST(NetHTTPFraming, ChunkSizeLines) {
    EXPECT_EQ(ReadChunkSize("1a"), 26);
    EXPECT_EQ(ReadChunkSize("1A;name=value"), 26);
    EXPECT_EQ(ReadChunkSize("1a ; name = \"quoted;value\" ; other"), 26);
    EXPECT_EQ(ReadChunkSize("1a\t;x"), 26);
    EXPECT_EQ(ReadChunkSize("1a ext"), 26);
    EXPECT_EQ(ReadChunkSize("0"), 0);
    EXPECT_EQ(ReadChunkSize("000;last"), 0);
    EXPECT_EQ(ReadChunkSize("0000000000000000000000ff"), 255) << "leading zeros do not count as digits";
    EXPECT_EQ(ReadChunkSize("100000000000000"), int64_t{1} << 56);
    for (const char* bad : {"", " ", "    ", ";x", " 1a", "xyz", "1ag", "1a,2", "-1", "+1", "0x1a"})
        testsupport::expectThrowWith<ENetHTTPMessageError>([&] { ReadChunkSize(bad); }, "Invalid chunk size line.");
    testsupport::expectThrowWith<ENetHTTPMessageError>([] { ReadChunkSize("1a\r;x"); },
                                                       "Bare CR in a line of the response.");
    EXPECT_THROW(ReadChunkSize("100000000000001"), ENetHTTPLimitExceeded);
    EXPECT_THROW(ReadChunkSize("fffffffffffffffffffff"), ENetHTTPLimitExceeded);
}

TEST(NetHTTPFraming, ContentLengthValuesAndTransferCodingLists) {
    int64_t length = -1;
    EXPECT_TRUE(ReadContentLength({"6"}, length));
    EXPECT_EQ(length, 6);
    EXPECT_TRUE(ReadContentLength({"6, 6"}, length));
    EXPECT_EQ(length, 6);
    EXPECT_TRUE(ReadContentLength({"6,06"}, length)) << "equal numbers, written differently";
    EXPECT_EQ(length, 6);
    EXPECT_TRUE(ReadContentLength({"6", " 6 "}, length));
    EXPECT_TRUE(ReadContentLength({"9223372036854775807"}, length));
    EXPECT_EQ(length, INT64_MAX);
    length = 5;
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"6badness"}, {"-1"}, {"+6"}, {"6, 7"}, {"6", "7"}, {""}, {"6,"},
                                               {"6 6"}, {"9223372036854775808"}, {"0x10"}, {}}) {
        EXPECT_FALSE(ReadContentLength(bad, length)) << (bad.empty() ? "(none)" : bad[0]);
        EXPECT_EQ(length, 5) << "an invalid value leaves the length alone";
    }

    using Codings = std::vector<std::string>;
    EXPECT_EQ(ReadTransferCodings({"chunked"}), Codings{"chunked"});
    EXPECT_EQ(ReadTransferCodings({"Chunked"}), Codings{"chunked"});
    EXPECT_EQ(ReadTransferCodings({"gzip, chunked"}), (Codings{"gzip", "chunked"}));
    EXPECT_EQ(ReadTransferCodings({"gzip", "chunked"}), (Codings{"gzip", "chunked"}));
    EXPECT_EQ(ReadTransferCodings({" , gzip;q=1 ,, CHUNKED ,"}), (Codings{"gzip", "chunked"}));
    EXPECT_EQ(ReadTransferCodings({"chunkedchunked"}), Codings{"chunkedchunked"});
    EXPECT_EQ(ReadTransferCodings({"notchunked"}), Codings{"notchunked"});
    EXPECT_TRUE(ReadTransferCodings({""}).empty());
}

TEST(NetHTTPFraming, ResponseFieldsChooseTheFraming) {
    TNetResponseHeaderInfo response;
    auto framing = [&response](const std::string& lines) {
        response.HeaderLines.SetText(lines);
        response.ProcessHeaders();
        return response.BodyFraming;
    };
    EXPECT_EQ(framing("Transfer-Encoding: chunked\r\nContent-Length: 100\r\n"), TNetBodyFraming::bfChunked);
    EXPECT_EQ(response.ContentLength(), -1) << "Transfer-Encoding wins";
    EXPECT_TRUE(response.LengthWithCodings);
    EXPECT_EQ(framing("Transfer-Encoding: gzip,\r\n chunked\r\n"), TNetBodyFraming::bfChunked) << "folded";
    EXPECT_EQ(response.UnsupportedCoding, "gzip");
    EXPECT_FALSE(response.LengthWithCodings);
    EXPECT_EQ(framing("Transfer-Encoding: chunked, gzip\r\n"), TNetBodyFraming::bfUntilClose);
    EXPECT_EQ(response.UnsupportedCoding, "gzip");
    EXPECT_EQ(framing("Transfer-Encoding: chunked, chunked\r\n"), TNetBodyFraming::bfChunked);
    EXPECT_EQ(response.FramingError, "Chunked coding is applied more than once.");
    EXPECT_EQ(framing("Transfer-Encoding: identity\r\nContent-Length: 4\r\n"), TNetBodyFraming::bfUntilClose);
    EXPECT_TRUE(response.UnsupportedCoding.empty());
    EXPECT_EQ(framing("Content-Length: 6\r\nContent-Length: 6\r\n"), TNetBodyFraming::bfLength);
    EXPECT_EQ(response.ContentLength(), 6);
    EXPECT_TRUE(response.FramingError.empty());
    framing("Content-Length: 6\r\nContent-Length: 7\r\n");
    EXPECT_EQ(response.FramingError, "Invalid Content-Length.");
    EXPECT_EQ(response.ContentLength(), -1);
    EXPECT_EQ(framing("Server: x\r\n"), TNetBodyFraming::bfUntilClose);
    EXPECT_TRUE(response.FramingError.empty());
    EXPECT_FALSE(response.HasContentLength());
}

TEST(NetHTTPFraming, ChunkExtensionsAndTrailersAreSkippedAndTheConnectionServesOn) {
    const std::string piece(26, 'z');
    HTTPTestServer server(serveMap({
        // The chunked example of the standard, with extensions and a trailer.
        {"/standard", kChunked + "1a; ieoe=1\r\nabcdefghijklmnopqrstuvwxyz\r\n10 ; name=\"quoted;value\"\r\n"
                                 "1234567890abcdef\r\n0; last\r\nSome-Footer: some-value\r\n"
                                 "Another-Footer: another-value\r\n\r\n"},
        {"/several", kChunked + "1a;a=1;b=2\r\n" + piece + "\r\n3;x=\"p;q\";y\r\nabc\r\n2\t;tab\r\nde\r\n"
                                 "0\r\nExpires: Wed, 21 Oct 2015 07:28:00 GMT\r\n\r\n"},
        {"/upper", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n4\r\nwiki\r\n0\r\n\r\n"},
        {"/second-field", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "5\r\nfield\r\n0\r\n\r\n"},
        {"/folded", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity,\r\n chunked\r\n\r\n6\r\nfolded\r\n0\r\n\r\n"},
        {"/lengths", "HTTP/1.1 200 OK\r\nContent-Length: 6, 6\r\nContent-Length: 6\r\n\r\nsixsix"},
        {"/leading-zero", "HTTP/1.1 200 OK\r\nContent-Length: 6,06\r\n\r\n123456"},
    }));
    TNetHTTP http;
    configure(http);
    std::vector<std::string> bodies;
    for (const char* path : {"/standard", "/several", "/upper", "/second-field", "/folded", "/lengths", "/leading-zero"}) {
        const Outcome o = get(http, server.url(path));
        EXPECT_EQ(o.error, "") << path << ": " << o.message;
        bodies.push_back(o.body);
        // The next answer on the same connection reads right.
        EXPECT_EQ(get(http, server.url("/after")).body, "next:/after") << path;
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"abcdefghijklmnopqrstuvwxyz1234567890abcdef", piece + "abcde", "wiki",
                                                "field", "folded", "sixsix", "123456"}));
    EXPECT_EQ(server.connections(), 1) << "every one of these answers leaves the connection usable";
}

TEST(NetHTTPFraming, TransferEncodingWinsOverContentLengthAndSuchAConnectionIsNotReused) {
    HTTPTestServer server(serveMap({
        {"/both", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "5\r\nfirst\r\n0\r\n\r\n"},
        {"/both-short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
                        "7\r\nsmuggle\r\n0\r\n\r\n"},
    }));
    TNetHTTP http;
    configure(http);
    Outcome o = get(http, server.url("/both"));
    EXPECT_EQ(o.error, "") << o.message;
    EXPECT_EQ(o.body, "first");
    EXPECT_FALSE(http.IsConnected()) << "a message framed two ways ends its connection";
    EXPECT_FALSE(http.Response().ReuseConnection());
    o = get(http, server.url("/both-short"));
    EXPECT_EQ(o.body, "smuggle") << "the chunks decide, not the length";
    EXPECT_EQ(get(http, server.url("/after")).body, "next:/after");
    EXPECT_EQ(server.connections(), 3);

    // Codings that do not end in chunked: the body runs to the close, whatever the length says.
    HTTPTestServer closing([](Conn& conn) {
        conn.readHead();
        conn.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 4\r\n\r\nbody and more");
    });
    o = get(http, closing.url("/identity"));
    EXPECT_EQ(o.error, "") << o.message;
    EXPECT_EQ(o.body, "body and more");
    EXPECT_FALSE(http.IsConnected());
}

TEST(NetHTTPFraming, InvalidFramingIsAnErrorAndTheConnectionIsDropped) {
    const std::map<std::string, std::string> answers = {
        {"/badness", "HTTP/1.1 200 OK\r\nContent-Length: 6badness\r\n\r\nsixsix"},
        {"/negative", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nbody"},
        {"/differ", "HTTP/1.1 200 OK\r\nContent-Length: 6, 7\r\n\r\nsixsixs"},
        {"/two-fields", "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nContent-Length: 6\r\n\r\nsixsixs"},
        {"/gzip", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n3\r\n\x1f\x8b\x08\r\n0\r\n\r\n"},
        {"/gzip-second", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
                         "3\r\n\x1f\x8b\x08\r\n0\r\n\r\n"},
        {"/glued", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunkedchunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"},
        {"/not", "HTTP/1.1 200 OK\r\nTransfer-Encoding: notchunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"},
        {"/twice", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"},
        {"/no-number", kChunked + "xyz\r\nabc\r\n0\r\n\r\n"},
        {"/empty-size", kChunked + "\r\nabc\r\n0\r\n\r\n"},
        {"/size-junk", kChunked + "3g\r\nabc\r\n0\r\n\r\n"},
        {"/chunk-longer", kChunked + "3\r\nabcdef\r\n0\r\n\r\n"},
        {"/cr-in-size", kChunked + "3;a\rb\r\nabc\r\n0\r\n\r\n"},
        {"/cr-in-trailer", kChunked + "3\r\nabc\r\n0\r\nX-T: a\rb\r\n\r\n"},
    };
    const std::map<std::string, std::string> expected = {
        {"/badness", "Invalid Content-Length."},
        {"/negative", "Invalid Content-Length."},
        {"/differ", "Invalid Content-Length."},
        {"/two-fields", "Invalid Content-Length."},
        {"/gzip", "Unsupported transfer coding: gzip"},
        {"/gzip-second", "Unsupported transfer coding: gzip"},
        {"/glued", "Unsupported transfer coding: chunkedchunked"},
        {"/not", "Unsupported transfer coding: notchunked"},
        {"/twice", "Chunked coding is applied more than once."},
        {"/no-number", "Invalid chunk size line."},
        {"/empty-size", "Invalid chunk size line."},
        {"/size-junk", "Invalid chunk size line."},
        {"/chunk-longer", "Chunk data not followed by a line end."},
        {"/cr-in-size", "Bare CR in a line of the response."},
        {"/cr-in-trailer", "Bare CR in a line of the response."},
    };
    HTTPTestServer server(serveMap(answers));
    TNetHTTP http;
    configure(http);
    int expectedConnections = 0;
    for (const auto& [path, message] : expected) {
        const Outcome o = get(http, server.url(path));
        ++expectedConnections;
        EXPECT_EQ(o.error, "ENetHTTPMessageError") << path << ": " << o.message;
        EXPECT_EQ(o.message, message) << path;
        EXPECT_FALSE(http.IsConnected()) << path;
        // A fresh connection serves the next answer.
        EXPECT_EQ(get(http, server.url("/after")).body, "next:/after") << path;
    }
    EXPECT_EQ(server.connections(), expectedConnections + 1);
    // An error status whose framing is invalid reports the framing.
    HTTPTestServer error(serveMap({{"/e", "HTTP/1.1 404 Not Found\r\nContent-Length: 4, 5\r\n\r\nnope"}}));
    EXPECT_EQ(get(http, error.url("/e")).error, "ENetHTTPMessageError");
}

TEST(NetHTTPFraming, ShortBodiesAreErrorsExceptAfterAStop) {
    HTTPTestServer server([](Conn& conn) {
        const std::string path = pathOf(conn.readHead());
        if (path == "/length") conn.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly a part");
        else if (path == "/chunk") conn.send(kChunked + "64\r\nonly a part");
        else if (path == "/size-line") conn.send(kChunked + "3\r\nabc\r\n");
        else if (path == "/trailer") conn.send(kChunked + "3\r\nabc\r\n0\r\nX-T: 1\r\n");
        else if (path == "/error") conn.send("HTTP/1.1 500 Oops\r\nContent-Length: 100\r\n\r\npart");
        else if (path == "/close") conn.send("HTTP/1.1 200 OK\r\n\r\nall until the close");
        // the script returns: the server closes
    });
    TNetHTTP http;
    configure(http);
    for (const char* path : {"/length", "/chunk", "/size-line", "/trailer", "/error"}) {
        const Outcome o = get(http, server.url(path));
        EXPECT_EQ(o.error, "ENetConnClosedGracefully") << path << ": " << o.message;
        EXPECT_EQ(o.message, "Connection Closed Gracefully.") << path;
        EXPECT_FALSE(http.IsConnected()) << path;
    }
    EXPECT_EQ(get(http, server.url("/length")).body, "only a part") << "what arrived stays in the stream";
    const Outcome untilClose = get(http, server.url("/close"));
    EXPECT_EQ(untilClose.error, "");
    EXPECT_EQ(untilClose.body, "all until the close");

    // Our own close from a work event ends a length body early without an error.
    HTTPTestServer slow([](Conn& conn) {
        conn.readHead();
        conn.send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + std::string(1000, 'a'));
        conn.waitPeerClose(5000);
    });
    http.OnWork = [](TNetComponent& sender, TWorkMode mode, int64_t count) {
        if (mode == TWorkMode::wmRead && count > 0) static_cast<TNetHTTP&>(sender).CloseConnection();
    };
    const Outcome stopped = get(http, slow.url("/stop"));
    EXPECT_EQ(stopped.error, "") << stopped.message;
    EXPECT_GT(stopped.body.size(), 0u);
    EXPECT_LT(stopped.body.size(), 1000000u);
}

TEST(NetHTTPFraming, InterimAnswersAndALeadingEmptyLineAreSkipped) {
    const std::string hints = "HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload; as=style\r\n"
                              "Set-Cookie: early=1; path=/\r\n\r\n";
    HTTPTestServer server(serveMap({
        {"/hints", hints + response("HTTP/1.1 200 OK", "", "after hints")},
        {"/many", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n" + hints +
                      "HTTP/1.1 104 Upload Resumption Supported\r\n\r\n" + response("HTTP/1.1 200 OK", "", "many")},
        {"/blank", "\r\n" + response("HTTP/1.1 200 OK", "", "after a blank line")},
        {"/blank-interim", "\r\n" + hints + "\r\n" + response("HTTP/1.1 201 Created", "", "made")},
        {"/switch", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: other\r\nConnection: upgrade\r\n\r\n"},
    }));
    TNetHTTP http;
    configure(http);
    for (const auto& [path, body] : std::vector<std::pair<std::string, std::string>>{
             {"/hints", "after hints"}, {"/many", "many"}, {"/blank", "after a blank line"}, {"/blank-interim", "made"}}) {
        const Outcome o = get(http, server.url(path));
        EXPECT_EQ(o.error, "") << path << ": " << o.message;
        EXPECT_EQ(o.body, body) << path;
        EXPECT_EQ(get(http, server.url("/after")).body, "next:/after") << path;
    }
    EXPECT_EQ(server.connections(), 1);
    ASSERT_NE(http.CookieManager(), nullptr);
    EXPECT_NE(server.requests().back().find("early=1"), std::string::npos) << "the 103's cookie is kept";
    // 101 is a final answer, not an interim one.
    const Outcome upgrade = get(http, server.url("/switch"));
    EXPECT_EQ(upgrade.error, "ENetHTTPProtocolException");
    EXPECT_EQ(upgrade.message, "HTTP/1.1 101 Switching Protocols");
    EXPECT_FALSE(http.IsConnected()) << "after a 101 the connection no longer speaks HTTP";
}

TEST(NetHTTPFraming, OnlyThreeHundredsRedirectAndTargetsResolveAsReferences) {
    HTTPTestServer server(serveMap({
        {"/created", response("HTTP/1.1 201 Created", "Location: /items/7\r\n", "{\"id\":7}")},
        {"/ok-with-location", response("HTTP/1.1 200 OK", "Location: /elsewhere\r\n", "the answer")},
        {"/dir/list?page=1", response("HTTP/1.1 302 Found", "Location: ?page=2\r\n", "")},
        {"/a/b/c", response("HTTP/1.1 301 Moved", "Location: ./d\r\n", "")},
        {"/a/b/up", response("HTTP/1.1 307 Temporary", "Location: .././../x/./y\r\n", "")},
        {"/space", response("HTTP/1.1 302 Found", "Location: /x HTTP/1.0\r\n", "")},
        {"/odd-bytes", response("HTTP/1.1 302 Found", "Location: /caf\xc3\xa9/\"a b\"?q=<1>%zz%41\r\n", "")},
        {"/query-url", response("HTTP/1.1 302 Found", "Location: go?to=http://127.0.0.2:1/x\r\n", "")},
        {"/path-url", response("HTTP/1.1 302 Found", "Location: /p/http://127.0.0.2:1/x\r\n", "")},
        {"/fragment", response("HTTP/1.1 302 Found", "Location: /frag?x=1#part\r\n", "")},
        {"/notmod", "HTTP/1.1 304 Not Modified\r\nLocation: /never\r\n\r\n"},
        {"/nowhere", response("HTTP/1.1 302 Found", "", "no location")},
    }));
    TNetHTTP http;
    configure(http);
    auto lastPath = [&server] { return pathOf(server.requests().back()); };

    Outcome o = get(http, server.url("/created"));
    EXPECT_EQ(o.body, "{\"id\":7}") << "a 201's body is the answer";
    EXPECT_EQ(http.Response().Location, "/items/7");
    EXPECT_EQ(lastPath(), "/created");
    o = get(http, server.url("/ok-with-location"));
    EXPECT_EQ(o.body, "the answer");
    EXPECT_EQ(lastPath(), "/ok-with-location");

    EXPECT_EQ(get(http, server.url("/dir/list?page=1")).body, "next:/dir/list?page=2") << "query-only";
    EXPECT_EQ(get(http, server.url("/a/b/c")).body, "next:/a/b/d");
    EXPECT_EQ(get(http, server.url("/a/b/up")).body, "next:/x/y");
    EXPECT_EQ(get(http, server.url("/space")).body, "next:/x%20HTTP/1.0");
    EXPECT_EQ(requestLine(server.requests().back()), "GET /x%20HTTP/1.0 HTTP/1.1") << "the request line keeps its form";
    EXPECT_EQ(get(http, server.url("/odd-bytes")).body, "next:/caf%C3%A9/%22a%20b%22?q=%3C1%3E%25zz%41");
    EXPECT_EQ(get(http, server.url("/query-url")).body, "next:/go?to=http://127.0.0.2:1/x")
        << "\"://\" in a query is data";
    EXPECT_EQ(get(http, server.url("/path-url")).body, "next:/p/http://127.0.0.2:1/x");
    EXPECT_EQ(http.Host(), "127.0.0.1");
    EXPECT_EQ(get(http, server.url("/fragment")).body, "next:/frag?x=1") << "a fragment never goes on the wire";

    // A relative URL given by the caller resolves against the last one.
    EXPECT_EQ(get(http, "?again").body, "next:/frag?again");
    EXPECT_EQ(get(http, "../top").body, "next:/top");

    o = get(http, server.url("/notmod"));
    EXPECT_EQ(o.error, "ENetHTTPProtocolException");
    EXPECT_EQ(o.message, "HTTP/1.1 304 Not Modified");
    EXPECT_EQ(lastPath(), "/notmod") << "a 304 is not a redirect";
    o = get(http, server.url("/nowhere"));
    EXPECT_EQ(o.error, "ENetHTTPProtocolException") << "a 3xx without Location has nowhere to go";
    EXPECT_EQ(o.message, "HTTP/1.1 302 Found");
    EXPECT_EQ(lastPath(), "/nowhere");
    EXPECT_EQ(get(http, server.url("/after")).body, "next:/after");
    EXPECT_EQ(server.connections(), 1) << "redirects, 201, 304 and error answers keep the connection";
}

TEST(NetHTTPFraming, BareCRInTheHeadIsAnError) {
    HTTPTestServer server(serveMap({
        {"/status", "HTTP/1.1 200 OK\rX: y\r\nContent-Length: 2\r\n\r\nok"},
        {"/header", "HTTP/1.1 200 OK\r\nX-Hidden: a\rContent-Length: 0\r\nContent-Length: 2\r\n\r\nok"},
        {"/interim", "HTTP/1.1 103 Early\rHints\r\n\r\n" + response("HTTP/1.1 200 OK", "", "ok")},
        {"/lf-only", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok"},
    }));
    TNetHTTP http;
    configure(http);
    for (const char* path : {"/status", "/header", "/interim"}) {
        const Outcome o = get(http, server.url(path));
        EXPECT_EQ(o.error, "ENetHTTPMessageError") << path;
        EXPECT_EQ(o.message, "Bare CR in a line of the response.") << path;
        EXPECT_EQ(o.body, "") << path;
        EXPECT_FALSE(http.IsConnected()) << path;
    }
    // Lines ended by LF alone are still lines.
    const Outcome o = get(http, server.url("/lf-only"));
    EXPECT_EQ(o.error, "") << o.message;
    EXPECT_EQ(o.body, "ok");
}
