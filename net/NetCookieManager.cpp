#include "net/NetCookieManager.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "rtl/StringUtils.h"

namespace net {

namespace {

bool endsWithIgnoreCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && rtl::equalsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

// Unreadable expiry dates count as long past.
TDateTime expiryOf(const TNetNetscapeCookie& cookie) {
    try {
        return InternetDateToLocal(cookie.ExpiresText);
    } catch (const ENetException&) {
        return 0;
    }
}

}  // namespace

bool DomainMatchesHost(std::string_view domain, std::string_view host) {
    if (rtl::equalsIgnoreCase(domain, host)) return true;
    if (domain.empty() || !endsWithIgnoreCase(host, domain)) return false;
    if (domain.front() == '.') return true;
    return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.';
}

TNetCookieManager::TNetCookieManager(TOnManagerEvent onCreate)
    : OnCreate(std::move(onCreate)), m_cookies(std::make_unique<TNetCookies>()) {
    if (OnCreate) OnCreate(this, m_cookies.get());
}

TNetCookieManager::~TNetCookieManager() {
    try {
        PurgeExpired();
        if (OnDestroy) OnDestroy(this, m_cookies.get());
    } catch (...) {
        // Nothing may leave a destructor; the cookies go in any case.
    }
}

void TNetCookieManager::AcceptSetCookie(std::string_view text, std::string_view host) {
    AdmitCookie(m_cookies->AddCookie2109(), text, host);
}

void TNetCookieManager::AcceptSetCookie2(std::string_view text, std::string_view host) {
    AdmitCookie(m_cookies->AddCookie2965(), text, host);
}

void TNetCookieManager::AdmitCookie(TNetNetscapeCookie* cookie, std::string_view text, std::string_view host) {
    if (text.size() > kMaxCookieTextLength) return m_cookies->FreeCookie(cookie);
    cookie->ParseCookie(text);
    if (cookie->CookieDomain.empty()) cookie->CookieDomain.assign(host);
    if (!cookie->AcceptsHost(host)) return m_cookies->FreeCookie(cookie);
    bool accept = true;
    try {
        if (OnNewCookie) OnNewCookie(this, cookie, accept);
    } catch (...) {
        m_cookies->FreeCookie(cookie);
        throw;
    }
    if (!accept) return m_cookies->FreeCookie(cookie);
    m_cookies->InsertCookie(cookie);
}

void TNetCookieManager::PurgeExpired() {
    TNetDomainsLock lock(*m_cookies, TNetCookies::lkWrite);
    TNetCookieDomains& index = lock.Index();
    const TDateTime now = NowLocal();
    for (int d = 0; d < index.Count(); ++d) {
        TNetCookieNames& names = index.At(d).names;
        for (int n = names.Count() - 1; n >= 0; --n) {
            TNetNetscapeCookie* cookie = names.At(n).cookie;
            if (!cookie->ExpiresText.empty() && now > expiryOf(*cookie)) m_cookies->FreeCookie(cookie);
        }
    }
}

std::string TNetCookieManager::CookieHeaderFor(const TNetURI& url, bool secure) {
    PurgeExpired();
    TNetDomainsLock lock(*m_cookies, TNetCookies::lkRead);
    TNetCookieDomains& index = lock.Index();
    std::vector<std::pair<std::string, const TNetNetscapeCookie*>> taken;
    for (int d = 0; d < index.Count(); ++d) {
        if (!DomainMatchesHost(index.At(d).text, url.Host)) continue;
        const TNetCookieNames& names = index.At(d).names;
        // Within a domain the most recently stored cookie comes first.
        for (int n = names.Count() - 1; n >= 0; --n) {
            const TNetNetscapeCookie* c = names.At(n).cookie;
            if (c->CookiePath.empty() || url.Directory.compare(0, c->CookiePath.size(), c->CookiePath) != 0) continue;
            if ((c->SecureFlag && !secure) || c->CookieValue.empty()) continue;
            taken.emplace_back(rtl::asciiUpper(c->CookiePath), c);
        }
    }
    // Longer (greater) paths first; equal paths keep their collected order.
    std::stable_sort(taken.begin(), taken.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::string header;
    for (const auto& [path, cookie] : taken) {
        if (!header.empty()) header += "; ";
        header += cookie->CookieName + "=" + cookie->CookieValue;
    }
    return header;
}

}  // namespace net
