// Cookie parsing, admission and Cookie header building.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetCookieManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Lines: host, request URL, then Set-cookie values (a leading '2' marks Set-cookie2).
    std::string rest(reinterpret_cast<const char*>(data), size);
    const std::string host = net::CutToken(rest, "\n");
    const std::string url = net::CutToken(rest, "\n");
    net::TNetCookieManager manager;
    int lines = 0;
    while (!rest.empty() && lines++ < 64) {
        const std::string line = net::CutToken(rest, "\n");
        if (!line.empty() && line[0] == '2') manager.AcceptSetCookie2(line.substr(1), host);
        else manager.AcceptSetCookie(line, host);
    }
    net::TNetURI target(url);
    if (target.Host.empty()) target.Host = host;
    const std::string header = manager.CookieHeaderFor(target, (size & 1) != 0);
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (input.find('\r') == std::string::npos && header.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    // After admission every cookie left in the collection is indexed under its own domain.
    const int items = manager.CookieCollection().Count();
    int indexed = 0;
    net::TNetDomainsLock lock(manager.CookieCollection(), net::TNetCookies::lkRead);
    for (int d = 0; d < lock.Index().Count(); ++d) {
        const auto& entry = lock.Index().At(d);
        for (int n = 0; n < entry.names.Count(); ++n, ++indexed) {
            const auto* cookie = entry.names.At(n).cookie;
            if (cookie == nullptr || !net::DomainMatchesHost(entry.text, cookie->CookieDomain)) __builtin_trap();
            cookie->ServerForm();
        }
    }
    if (indexed != items) __builtin_trap();
    return 0;
}
