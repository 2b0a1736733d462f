#include "net/NetCookie.h"
#include "net/NetCookieManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using net::TNetCookieManager;
using net::TNetCookies;
using net::TNetURI;

namespace {

std::string headerFor(TNetCookieManager& manager, const std::string& url, bool secure = false) {
    return manager.CookieHeaderFor(TNetURI(url), secure);
}

// The one stored cookie named `name`, or null.
const net::TNetNetscapeCookie* stored(TNetCookieManager& manager, const std::string& name) {
    net::TNetDomainsLock lock(manager.CookieCollection(), TNetCookies::lkRead);
    for (int d = 0; d < lock.Index().Count(); ++d) {
        const auto& names = lock.Index().At(d).names;
        const int n = names.IndexOf(name);
        if (n >= 0) return names.At(n).cookie;
    }
    return nullptr;
}

}  // namespace

TEST(NetCookie, ParsesNameValueAndAttributes) {
    TNetCookies cookies;
    auto* cookie = cookies.AddCookie2109();
    cookie->ParseCookie("sid=a=b=c; Path=\"/docs/\"; DOMAIN=.x.y; secure; Comment=hi; version=1; path=/ignored");
    EXPECT_EQ(cookie->CookieName, "sid");
    EXPECT_EQ(cookie->CookieValue, "a=b=c") << "everything after the first '='";
    EXPECT_EQ(cookie->CookiePath, "/docs/") << "quotes removed, the first PATH wins";
    EXPECT_EQ(cookie->CookieDomain, ".x.y");
    EXPECT_TRUE(cookie->SecureFlag);
    EXPECT_EQ(cookie->CommentText, "hi");
    EXPECT_EQ(cookie->VersionText, "1");
    EXPECT_EQ(cookie->MaxAgeSeconds, -1);
    EXPECT_EQ(cookie->FormatKind, net::TNetCookieFormat::cfNetscape) << "no expiry: written in the Netscape form";
    EXPECT_EQ(cookie->ServerForm(), "sid=a=b=c; path=/docs/; domain=.x.y; secure; comment=hi; version=1");
    EXPECT_EQ(cookie->ClientForm(), "sid=a=b=c");

    auto* bare = cookies.AddCookie2109();
    bare->ParseCookie("novalue; secure=no");
    EXPECT_EQ(bare->CookieName, "");
    EXPECT_EQ(bare->CookieValue, "");
    EXPECT_FALSE(bare->SecureFlag) << "only a bare SECURE element counts";
    bare->ParseCookie("");
    EXPECT_EQ(bare->CookieName, "");
}

TEST(NetCookie, ExpiryFromDatesAndMaxAge) {
    TNetCookies cookies;
    auto* dated = cookies.AddCookie2109();
    dated->ParseCookie("a=1; expires=Wed, 01 Jan 2070 00:00:00 GMT; path=/");
    EXPECT_EQ(dated->FormatKind, net::TNetCookieFormat::cfRFC2109);
    EXPECT_EQ(dated->ExpiresText, "Wed, 01 Jan 2070 00:00:00 GMT");
    EXPECT_EQ(dated->ServerForm(), "a=1; path=/") << "an RFC 2109 cookie does not write its expiry";

    auto* aged = cookies.AddCookie2109();
    aged->ParseCookie("b=2; max-age=3600; path=/");
    EXPECT_EQ(aged->FormatKind, net::TNetCookieFormat::cfNetscape);
    EXPECT_FALSE(aged->ExpiresText.empty());
    EXPECT_GE(aged->MaxAgeSeconds, 3598);
    EXPECT_LE(aged->MaxAgeSeconds, 3600);
    const net::TDateTime expires = net::InternetDateToLocal(aged->ExpiresText);
    EXPECT_NEAR((expires - net::NowLocal()) * 86400, 3600, 2);
    EXPECT_NE(aged->ServerForm().find("expires="), std::string::npos);

    auto* huge = cookies.AddCookie2109();
    huge->ParseCookie("c=3; max-age=9223372036854775807; path=/");
    EXPECT_GT(net::InternetDateToLocal(huge->ExpiresText), net::NowLocal() + 365 * 1000)
        << "an enormous max-age is far future, not past";
    auto* overflow = cookies.AddCookie2109();
    overflow->ParseCookie("d=4; max-age=99999999999999999999; path=/");
    EXPECT_EQ(overflow->MaxAgeSeconds, -1);
    EXPECT_EQ(overflow->ExpiresText, "");
}

TEST(NetCookie, SetCookie2PortListsKeepTheNumbersThatRead) {
    TNetCookies cookies;
    auto* cookie = cookies.AddCookie2965();
    cookie->ParseCookie("a=1; Port=\"80,abc,8080,99999\"; Discard; CommentURL=http://c/; path=/");
    EXPECT_EQ(cookie->PortNumbers, (std::vector<int>{80, 8080}));
    EXPECT_TRUE(cookie->DiscardFlag);
    EXPECT_EQ(cookie->CommentURLText, "http://c/");
    auto* none = cookies.AddCookie2965();
    none->ParseCookie("a=1; Port=\"x,y\"");
    EXPECT_EQ(none->PortNumbers, std::vector<int>{80});
    auto* absent = cookies.AddCookie2965();
    absent->ParseCookie("a=1");
    EXPECT_EQ(absent->PortNumbers, std::vector<int>{80});
    auto* unquoted = cookies.AddCookie2965();
    unquoted->ParseCookie("a=1; Port=81");
    EXPECT_TRUE(unquoted->PortNumbers.empty());

    TNetCookieManager manager;
    EXPECT_NO_THROW(manager.AcceptSetCookie2("p=1; Port=\"80,oops\"; path=/", "h"));
    EXPECT_EQ(headerFor(manager, "http://h/"), "p=1") << "a bad port piece never fails the request";
}

TEST(NetCookie, DomainAcceptance) {
    TNetCookies cookies;
    auto accepts = [&](const char* domain, const char* host) {
        auto* cookie = cookies.AddCookie2109();
        cookie->CookieDomain = domain;
        return cookie->AcceptsHost(host);
    };
    EXPECT_TRUE(accepts("w.a.b", "w.a.b"));
    EXPECT_TRUE(accepts(".a.b", "w.a.b"));
    EXPECT_FALSE(accepts("a.b", "w.a.b"));
    EXPECT_FALSE(accepts(".b", "w.a.b"));
    EXPECT_FALSE(accepts(".a.b", "a.b"));
    EXPECT_FALSE(accepts("W.A.B", "w.a.b")) << "a plain name must match exactly";
    EXPECT_TRUE(accepts("10.0.0.1", "10.0.0.1"));
    EXPECT_FALSE(accepts(".0.0.1", "10.0.0.1"));
    // A site may not set a cookie for a whole top-level domain.
    EXPECT_FALSE(accepts(".com", "a.com"));
    EXPECT_FALSE(accepts(".", "a."));

    TNetCookieManager manager;
    manager.AcceptSetCookie("a=1; path=/; domain=x.y", "w.x.y");
    manager.AcceptSetCookie("b=1; path=/; domain=.com", "x.com");
    EXPECT_EQ(cookies.Count(), 10);
    EXPECT_EQ(manager.CookieCollection().Count(), 0) << "refused cookies are freed";
}

TEST(NetCookie, StoredCookiesGoToMatchingHostsAndPaths) {
    TNetCookieManager manager;
    EXPECT_EQ(headerFor(manager, "http://v.x.y/"), "");
    manager.AcceptSetCookie("a=1; path=/; domain=.x.y", "w.x.y");
    manager.AcceptSetCookie("nopath=1", "w.x.y");
    manager.AcceptSetCookie("empty=; path=/", "w.x.y");
    manager.AcceptSetCookie("file=1; path=/d/page.html", "w.x.y");
    EXPECT_EQ(headerFor(manager, "http://v.x.y/d/"), "a=1");
    EXPECT_NE(stored(manager, "nopath"), nullptr) << "stored, but never sent";
    EXPECT_EQ(headerFor(manager, "http://w.x.y/d/page.html"), "a=1") << "only the directory is compared";

    manager.AcceptSetCookie("s=1; path=/; secure", "w.x.y");
    EXPECT_EQ(headerFor(manager, "http://w.x.y/"), "a=1");
    // Equal paths: domains in the order they were first stored.
    EXPECT_EQ(headerFor(manager, "https://w.x.y/", true), "a=1; s=1");

    // Longer paths first; equal paths in stored order, newest first within a domain.
    TNetCookieManager paths;
    paths.AcceptSetCookie("root=1; path=/", "h.example");
    paths.AcceptSetCookie("deep=1; path=/d/", "h.example");
    paths.AcceptSetCookie("root2=1; path=/", "h.example");
    EXPECT_EQ(headerFor(paths, "http://h.example/d/e/"), "deep=1; root2=1; root=1");
    EXPECT_EQ(headerFor(paths, "http://h.example/D/"), "root2=1; root=1") << "paths compare with case";
}

TEST(NetCookie, CookiesDoNotLeakToLookalikeHosts) {
    TNetCookieManager manager;
    manager.AcceptSetCookie("site=1; path=/", "a.com");
    manager.AcceptSetCookie("wide=1; path=/; domain=.b.com", "www.b.com");
    EXPECT_EQ(headerFor(manager, "http://a.com/"), "site=1");
    EXPECT_EQ(headerFor(manager, "http://A.COM/"), "site=1");
    EXPECT_EQ(headerFor(manager, "http://www.a.com/"), "site=1");
    EXPECT_EQ(headerFor(manager, "http://evil-a.com/"), "");
    EXPECT_EQ(headerFor(manager, "http://a.com.example.net/"), "");
    EXPECT_EQ(headerFor(manager, "http://xa.com/"), "");
    EXPECT_EQ(headerFor(manager, "http://com/"), "");

    EXPECT_EQ(headerFor(manager, "http://v.b.com/"), "wide=1");
    EXPECT_EQ(headerFor(manager, "http://deep.v.B.COM/"), "wide=1");
    EXPECT_EQ(headerFor(manager, "http://evilb.com/"), "");
    EXPECT_EQ(headerFor(manager, "http://x.b.com.evil.net/"), "");

    EXPECT_TRUE(net::DomainMatchesHost("a.com", "a.com"));
    EXPECT_FALSE(net::DomainMatchesHost("", "x."));
    EXPECT_FALSE(net::DomainMatchesHost("a.com", "evil-a.com"));
}

TEST(NetCookie, ReplacementKeepsPlaceAndExpiry) {
    TNetCookieManager manager;
    manager.AcceptSetCookie("a=1; path=/", "h.example");
    manager.AcceptSetCookie("b=1; path=/", "h.example");
    manager.AcceptSetCookie("A=2; path=/; expires=Wed, 01 Jan 2070 00:00:00 GMT", "h.example");
    EXPECT_EQ(manager.CookieCollection().Count(), 2);
    EXPECT_EQ(headerFor(manager, "http://h.example/"), "b=1; A=2") << "the replaced cookie keeps its place";
    const auto* a = stored(manager, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ExpiresText, "Wed, 01 Jan 2070 00:00:00 GMT") << "the copy keeps the expiry";

    // An empty value replaces the stored one, which is then no longer sent.
    manager.AcceptSetCookie("b=; path=/", "h.example");
    EXPECT_EQ(stored(manager, "b")->CookieName, "b");
    EXPECT_EQ(headerFor(manager, "http://h.example/"), "A=2");
}

TEST(NetCookie, ExpiredCookiesArePurgedBeforeTheHeaderIsBuilt) {
    TNetCookieManager manager;
    manager.AcceptSetCookie("old=1; path=/; expires=Sun, 06 Nov 1994 08:49:37 GMT", "h.example");
    manager.AcceptSetCookie("bad=1; path=/; expires=not a date", "h.example");
    manager.AcceptSetCookie("now=1; path=/; max-age=0", "h.example");
    manager.AcceptSetCookie("hour=1; path=/; max-age=3600", "h.example");
    EXPECT_EQ(manager.CookieCollection().Count(), 4) << "stored first";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(headerFor(manager, "http://h.example/"), "hour=1");
    EXPECT_EQ(manager.CookieCollection().Count(), 1);
    EXPECT_EQ(stored(manager, "old"), nullptr);
}

TEST(NetCookie, ManagerEventsAndBounds) {
    int created = 0, destroyed = 0;
    {
        TNetCookieManager manager([&](TNetCookieManager*, TNetCookies* c) { created += c != nullptr; });
        manager.OnDestroy = [&](TNetCookieManager*, TNetCookies*) { ++destroyed; };
        manager.OnNewCookie = [](TNetCookieManager*, net::TNetNetscapeCookie* c, bool& accept) {
            accept = c->CookieName != "refused";
        };
        manager.AcceptSetCookie("refused=1; path=/", "h");
        manager.AcceptSetCookie("kept=1; path=/", "h");
        EXPECT_EQ(headerFor(manager, "http://h/"), "kept=1");

        for (int i = 0; i < 200; ++i) manager.AcceptSetCookie("n" + std::to_string(i) + "=1; path=/", "h");
        EXPECT_EQ(manager.CookieCollection().Count(), static_cast<int>(net::kMaxCookiesPerDomain));
        manager.AcceptSetCookie("big=" + std::string(net::kMaxCookieTextLength, 'v'), "other");
        EXPECT_EQ(stored(manager, "big"), nullptr);
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(destroyed, 1);
}

TEST(NetCookie, WriterMayRelockAndReadersWaitForIt) {
    TNetCookies cookies;
    cookies.LockDomains(TNetCookies::lkWrite);
    cookies.LockDomains(TNetCookies::lkWrite);
    cookies.LockDomains(TNetCookies::lkRead);
    EXPECT_EQ(cookies.Count(), 0) << "the writer's own thread may read";

    std::atomic<bool> readerIn{false};
    std::thread reader([&] {
        cookies.LockDomains(TNetCookies::lkRead);
        readerIn = true;
        cookies.UnlockDomains(TNetCookies::lkRead);
    });
    cookies.UnlockDomains(TNetCookies::lkRead);
    cookies.UnlockDomains(TNetCookies::lkWrite);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(readerIn) << "still held once";
    cookies.UnlockDomains(TNetCookies::lkWrite);
    reader.join();
    EXPECT_TRUE(readerIn);
}
