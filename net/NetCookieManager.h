#pragma once
// TNetCookieManager: the HTTP client's in-memory cookie jar. It takes
// Set-cookie and Set-cookie2 values with the host that sent them, and builds
// the Cookie header for a request from host, directory and the secure flag.
// Safe from any thread (the collection's lock guards the store); its events
// run on the calling thread, outside the lock.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/NetCookie.h"
#include "net/NetURI.h"

namespace net {

class TNetCookieManager {
public:
    using TOnManagerEvent = std::function<void(TNetCookieManager* ASender, TNetCookies* ACookieCollection)>;
    using TOnNewCookieEvent = std::function<void(TNetCookieManager* ASender, TNetNetscapeCookie* ACookie, bool& VAccept)>;

    // `onCreate` becomes OnCreate and fires once the collection exists.
    explicit TNetCookieManager(TOnManagerEvent onCreate = nullptr);
    // Purges expired cookies, fires OnDestroy, then frees every cookie.
    ~TNetCookieManager();
    TNetCookieManager(const TNetCookieManager&) = delete;
    TNetCookieManager& operator=(const TNetCookieManager&) = delete;

    // Stores a Set-cookie value received from `host` when the host may set it
    // and OnNewCookie agrees. Malformed text never throws.
    void AcceptSetCookie(std::string_view text, std::string_view host);
    // The same for a Set-cookie2 value.
    void AcceptSetCookie2(std::string_view text, std::string_view host);
    // The Cookie header value for a request to url.Host / url.Directory; "" when
    // nothing applies. Longer paths come first.
    std::string CookieHeaderFor(const TNetURI& url, bool secure);
    // Frees every cookie whose expiry date has passed.
    void PurgeExpired();

    TNetCookies& CookieCollection() { return *m_cookies; }

    TOnManagerEvent OnCreate;
    TOnManagerEvent OnDestroy;
    TOnNewCookieEvent OnNewCookie;

private:
    void AdmitCookie(TNetNetscapeCookie* cookie, std::string_view text, std::string_view host);

    std::unique_ptr<TNetCookies> m_cookies;
};

// Whether the cookies of domain entry `domain` go with a request to `host`:
// the same name (case ignored), or `host` inside the domain at a dot boundary.
bool DomainMatchesHost(std::string_view domain, std::string_view host);

}  // namespace net
