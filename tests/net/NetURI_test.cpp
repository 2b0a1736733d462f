#include "net/NetURI.h"
#include "ExpectThrow.h"

#include <gtest/gtest.h>

using net::TNetURI;
using testsupport::expectThrowWith;

namespace {

struct Parts {
    std::string protocol, host, port, directory, resource, query, fragment;
};

void expectParts(const TNetURI& uri, const Parts& want) {
    EXPECT_EQ(uri.Protocol, want.protocol);
    EXPECT_EQ(uri.Host, want.host);
    EXPECT_EQ(uri.Port, want.port);
    EXPECT_EQ(uri.Directory, want.directory);
    EXPECT_EQ(uri.Resource, want.resource);
    EXPECT_EQ(uri.Query, want.query);
    EXPECT_EQ(uri.Fragment, want.fragment);
}

}  // namespace

TEST(NetURI, SplitsAbsoluteURLs) {
    expectParts(TNetURI("http://h:81/a/b/doc.html?x=1#f"), {"http", "h", "81", "/a/b/", "doc.html", "?x=1", "f"});
    expectParts(TNetURI("http://h"), {"http", "h", "", "/", "", "", ""});
    expectParts(TNetURI("http://h:8080"), {"http", "h", "8080", "/", "", "", ""});
    // The query starts at '?', and its slashes do not move the directory.
    expectParts(TNetURI("http://h/a/search?q=x/y&z=1"), {"http", "h", "", "/a/", "search", "?q=x/y&z=1", ""});
    expectParts(TNetURI("http://h/dir/page#frag"), {"http", "h", "", "/dir/", "page", "", "frag"});
    // Backslashes anywhere count as slashes before the split.
    expectParts(TNetURI("http:\\\\h\\a\\b.html"), {"http", "h", "", "/a/", "b.html", "", ""});

    TNetURI withCredentials("http://user:secret@h:81/x");
    EXPECT_EQ(withCredentials.Username, "user");
    EXPECT_EQ(withCredentials.Password, "secret");
    EXPECT_EQ(withCredentials.Host, "h");
    TNetURI noUser("http://:secret@h/");
    EXPECT_EQ(noUser.Username, "");
    EXPECT_EQ(noUser.Password, "") << "a password without a user name is dropped";
    EXPECT_EQ(TNetURI().Host, "");
}

TEST(NetURI, SplitsRelativeReferences) {
    expectParts(TNetURI("page.html?x=1#top"), {"", "", "", "", "page.html", "?x=1", "top"});
    // An '=' without '?' starts the query.
    expectParts(TNetURI("/a/b=1"), {"", "", "", "/a/", "b", "=1", ""});
    expectParts(TNetURI("../up/next.html"), {"", "", "", "../up/", "next.html", "", ""});
    // A fragment right after the resource is not sent as part of it.
    expectParts(TNetURI("page.html#top"), {"", "", "", "", "page.html", "", "top"});
}

TEST(NetURI, ComposesAndKeepsTheFullTextForProxies) {
    TNetURI uri("http://u:p@h:81/a/doc.html?x=1#f");
    EXPECT_EQ(uri.ComposeURL(true, true), "http://u:p@h:81/a/doc.html?x=1#f");
    EXPECT_EQ(uri.ComposeURL(false, false), "http://h:81/a/doc.html?x=1");
    uri.Password.clear();
    EXPECT_EQ(uri.ComposeURL(true, false), "http://u@h:81/a/doc.html?x=1");
    uri.Password = "p";
    EXPECT_EQ(uri.ProxyURL(), "http://h:81/a/doc.html?x=1");
    EXPECT_EQ(uri.URI, "http://u:p@h:81/a/doc.html?x=1#f");

    TNetURI relative("page.html");
    expectThrowWith<net::ENetURIException>(
        [&] { relative.ComposeURL(false, false); }, "Protocol field is empty",
        [&](const net::ENetURIException& e) { EXPECT_STREQ(e.className(), "ENetURIException"); });
    relative.Protocol = "http";
    expectThrowWith<net::ENetURIException>([&] { relative.ComposeURL(false, false); }, "Host field is empty");
}

TEST(NetURI, CutTokenAndFindBackward) {
    std::string text = "key=value=more";
    EXPECT_EQ(net::CutToken(text, "="), "key");
    EXPECT_EQ(text, "value=more");
    EXPECT_EQ(net::CutToken(text, "=", false), "value");
    EXPECT_EQ(text, "value=more");
    EXPECT_EQ(net::CutToken(text, "#"), "value=more");
    EXPECT_EQ(text, "");
    text = "aXbxc";
    EXPECT_EQ(net::CutToken(text, "x"), "aXb");
    text = "aXbxc";
    EXPECT_EQ(net::CutToken(text, "x", true, false), "a");
    EXPECT_EQ(text, "bxc");

    EXPECT_EQ(net::FindBackward("/", "/a/b/c", -1), 5u);
    EXPECT_EQ(net::FindBackward("/", "/a/b/c", 4), 3u);
    EXPECT_EQ(net::FindBackward("AB", "xabyab", -1), 5u) << "case is ignored";
    EXPECT_EQ(net::FindBackward("ab", "xabyab", 100), 5u) << "the start is clamped";
    EXPECT_EQ(net::FindBackward("/", "abc", -1), 0u);
    EXPECT_EQ(net::FindBackward("long", "ab", -1), 0u);
    EXPECT_EQ(net::FindBackward("", "ab", -1), 0u);
}

TEST(NetURI, MergePathResolvesRelativeDirectories) {
    EXPECT_EQ(net::MergePath("/a/b/", "d/"), "/a/b/d/");
    EXPECT_EQ(net::MergePath("/a/b/", "../d/"), "/a/d/");
    EXPECT_EQ(net::MergePath("/a/", ""), "/a/");
    EXPECT_EQ(net::MergePath("/a/", "/x/"), "/x/");
    EXPECT_EQ(net::MergePath("/a/./", ""), "/a/./");
    EXPECT_EQ(net::MergePath("/a/b", "c"), "/a/b/c");
    EXPECT_EQ(net::MergePath("/a//b/", "c//d/"), "/a/b/c/d/") << "repeated delimiters collapse";
    EXPECT_EQ(net::MergePath("/a/b/", "../../../x/"), "/x/") << "never climbs above the root";
    EXPECT_EQ(net::MergePath("/a/", "x/.."), "/a") << "no trailing delimiter unless the path had one";
    EXPECT_EQ(net::MergePath("", ""), "");
}

TEST(NetURI, HostNameRules) {
    EXPECT_TRUE(net::IsDottedQuad("192.168.0.1"));
    EXPECT_TRUE(net::IsDottedQuad(" 10.0.0.255 "));
    EXPECT_TRUE(net::IsDottedQuad("1.2.3.4.5")) << "text after the fourth number is not looked at";
    EXPECT_FALSE(net::IsDottedQuad("1.2.3"));
    EXPECT_FALSE(net::IsDottedQuad("1.2.3.256"));
    EXPECT_FALSE(net::IsDottedQuad("1..3.4"));
    EXPECT_FALSE(net::IsDottedQuad("a.b.c.d"));
    EXPECT_FALSE(net::IsDottedQuad("1.2.3.-4"));
    EXPECT_FALSE(net::IsDottedQuad("1.2.3.99999999999999999999999"));
    EXPECT_FALSE(net::IsDottedQuad(""));

    EXPECT_TRUE(net::IsPlainHostName("www.a.b"));
    EXPECT_TRUE(net::IsPlainHostName("localhost"));
    EXPECT_FALSE(net::IsPlainHostName(".a.b"));
    EXPECT_FALSE(net::IsPlainHostName("10.0.0.1"));

    EXPECT_EQ(net::ParentDomainOf("www.a.b"), ".a.b");
    EXPECT_EQ(net::ParentDomainOf("a.b"), ".b");
    EXPECT_EQ(net::ParentDomainOf("localhost"), "localhost");
}

TEST(NetURI, ReferencesResolveAgainstABase) {
    // The normal and abnormal examples of the reference resolution rules.
    const net::TNetURIParts base = net::SplitReference("http://a/b/c/d;p?q");
    const std::pair<const char*, const char*> cases[] = {
        {"g:h", "g:h"},           {"g", "http://a/b/c/g"},       {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"}, {"/g", "http://a/g"},          {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"}, {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"}, {"g?y#s", "http://a/b/c/g?y#s"}, {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"}, {"", "http://a/b/c/d;p?q"},   {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},   {"..", "http://a/b/"},          {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},  {"../..", "http://a/"},         {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"}, {"../../../../g", "http://a/g"}, {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},   {"g.", "http://a/b/c/g."},      {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."}, {"..g", "http://a/b/c/..g"},  {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"}, {"g/./h", "http://a/b/c/g/h"}, {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"}, {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"}, {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http://a/b/c/g"},  // the same scheme without authority counts as relative
        // "://" after the path starts is data, never a new authority.
        {"go?to=http://evil/x", "http://a/b/c/go?to=http://evil/x"},
        {"p/http://evil/x", "http://a/b/c/p/http://evil/x"},
        {"HTTPS://Other:8443", "HTTPS://Other:8443"},
    };
    for (const auto& [reference, want] : cases)
        EXPECT_EQ(net::JoinReference(net::ResolveReference(base, net::SplitReference(reference))), want) << reference;

    const net::TNetURIParts noPath = net::SplitReference("http://host");
    EXPECT_EQ(net::JoinReference(net::ResolveReference(noPath, net::SplitReference("g"))), "http://host/g");
    for (const char* text : {"http://u:p@h:1/a/b?c#d", "a:b", "//h", "?", "#", "", "/x?y?z#w#v", "1a:b/c"})
        EXPECT_EQ(net::JoinReference(net::SplitReference(text)), text);
    EXPECT_FALSE(net::SplitReference("1a:b/c").HasScheme) << "a scheme begins with a letter";
    EXPECT_FALSE(net::SplitReference("a/b:c").HasScheme) << "a ':' after a '/' is path";
    EXPECT_TRUE(net::SplitReference("?").HasQuery);
    EXPECT_EQ(net::RemoveDotSegments("/a/b/c/./../../g"), "/a/g");
    EXPECT_EQ(net::RemoveDotSegments("mid/content=5/../6"), "mid/6");
}

TEST(NetURI, TargetBytesThatCannotStandInARequestLineAreEscaped) {
    EXPECT_EQ(net::EncodeTargetBytes("/x HTTP/1.0"), "/x%20HTTP/1.0");
    EXPECT_EQ(net::EncodeTargetBytes("/a\tb\x01\x7f"), "/a%09b%01%7F");
    EXPECT_EQ(net::EncodeTargetBytes("/caf\xc3\xa9"), "/caf%C3%A9");
    EXPECT_EQ(net::EncodeTargetBytes("/\"<>\\^`{|}"), "/%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(net::EncodeTargetBytes("/%41%zz%4"), "/%41%25zz%254") << "escapes stay, a lone '%' is escaped";
    EXPECT_EQ(net::EncodeTargetBytes(std::string("/\0", 2)), "/%00");
    const std::string kept = "/a-b._~!$&'()*+,;=:@/?q=1&r=%20";
    EXPECT_EQ(net::EncodeTargetBytes(kept), kept);
    EXPECT_EQ(net::EncodeTargetBytes(net::EncodeTargetBytes("/a b%")), net::EncodeTargetBytes("/a b%"));
}
