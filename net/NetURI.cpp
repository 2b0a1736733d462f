#include "net/NetURI.h"

#include <algorithm>

#include "net/NetNumber.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

// Messages of this module.
constexpr const char* kProtocolEmpty = "Protocol field is empty";
constexpr const char* kHostEmpty = "Host field is empty";

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

TNetURI::TNetURI(std::string_view url) {
    if (!url.empty()) Parse(url);
}

void TNetURI::Parse(std::string_view url) {
    URI.assign(url);
    std::string text(url);
    std::replace(text.begin(), text.end(), '\\', '/');
    Protocol.clear(), Username.clear(), Password.clear(), Host.clear(), Port.clear();
    Directory.clear(), Resource.clear(), Query.clear(), Fragment.clear();

    const size_t scheme = text.find("://");
    if (scheme == std::string::npos) {
        splitPath(std::move(text), false);
    } else {
        Protocol = text.substr(0, scheme);
        text.erase(0, scheme + 3);
        std::string authority = CutToken(text, "/");
        std::string hostPart = authority;
        std::string credentials;
        if (authority.find('@') != std::string::npos) credentials = CutToken(hostPart, "@");
        Username = CutToken(credentials, ":");
        Password = Username.empty() ? std::string() : credentials;
        Host = CutToken(hostPart, ":");
        Port = hostPart;
        splitPath(std::move(text), true);
    }
    if (Fragment.empty()) {
        const size_t hash = Query.find('#');
        if (hash != std::string::npos) {
            Fragment = Query.substr(hash + 1);
            Query.erase(hash);
        }
    }
}

// Splits what follows the authority (or a whole relative reference) into
// Directory, Resource, Query and Fragment.
void TNetURI::splitPath(std::string text, bool absolute) {
    size_t q = text.find('?');
    if (q == std::string::npos) q = text.find('=');
    q = q == std::string::npos ? 0 : q + 1;  // 1-based, 0 when absent
    const size_t s = FindBackward("/", text, q > 0 ? static_cast<long long>(q) : -1);
    Directory = (absolute ? "/" : "") + text.substr(0, s);
    if (q > 0) {
        Resource = text.substr(0, q - 1);
        Query = text.substr(q - 1);
    } else {
        Resource = text;
    }
    Resource.erase(0, std::min(s, Resource.size()));
    // A fragment right after the resource, with or without a query.
    const size_t hash = Resource.find('#');
    if (hash != std::string::npos) {
        Fragment = Resource.substr(hash + 1);
        Resource.erase(hash);
    }
}

std::string TNetURI::ComposeURL(bool withCredentials, bool withFragment) const {
    if (Protocol.empty()) throw ENetURIException(kProtocolEmpty);
    std::string url = Protocol + "://";
    if (withCredentials && !Username.empty()) {
        url += Username;
        if (!Password.empty()) url += ":" + Password;
        url += "@";
    }
    if (Host.empty()) throw ENetURIException(kHostEmpty);
    url += Host;
    if (!Port.empty()) url += ":" + Port;
    url += Directory + Resource + Query;
    if (withFragment && !Fragment.empty()) url += "#" + Fragment;
    return url;
}

std::string TNetURI::ProxyURL() {
    URI = ComposeURL(true, true);
    return ComposeURL(false, false);
}

std::string CutToken(std::string& text, std::string_view delimiter, bool remove, bool matchCase) {
    size_t at = std::string::npos;
    if (!delimiter.empty()) at = matchCase ? text.find(delimiter) : rtl::findIgnoreCase(text, delimiter);
    if (at == std::string::npos) {
        std::string token = text;
        if (remove) text.clear();
        return token;
    }
    std::string token = text.substr(0, at);
    if (remove) text.erase(0, at + delimiter.size());
    return token;
}

size_t FindBackward(std::string_view sub, std::string_view text, long long start) {
    if (sub.empty() || sub.size() > text.size()) return 0;
    const long long last = static_cast<long long>(text.size() - sub.size()) + 1;
    if (start == -1 || start > last) start = last;
    for (long long i = start; i >= 1; --i)
        if (rtl::equalsIgnoreCase(text.substr(static_cast<size_t>(i - 1), sub.size()), sub))
            return static_cast<size_t>(i);
    return 0;
}

std::string MergePath(std::string_view base, std::string_view path, std::string_view delimiter) {
    if (delimiter.empty()) return std::string(base) + std::string(path);
    if (path.substr(0, delimiter.size()) == delimiter) return std::string(path);
    const bool keepTrailing = path.empty() || endsWith(path, delimiter);
    std::string work(base);
    if (!work.empty() && !endsWith(work, delimiter)) work += delimiter;
    work += path;

    std::string result;
    size_t i = 0;
    while (i < work.size()) {
        if (work.compare(i, delimiter.size(), delimiter) == 0) {
            if (i == 0 || !endsWith(result, delimiter)) result += delimiter;
            i += delimiter.size();
        } else if (work.compare(i, 2, "..") == 0 && endsWith(result, delimiter)) {
            result.erase(result.size() - delimiter.size());
            const size_t previous = result.rfind(delimiter);
            result.erase(previous == std::string::npos ? 0 : previous + delimiter.size());
            i += 2;
        } else {
            result += work[i++];
        }
    }
    if (result != delimiter && endsWith(result, delimiter) && !keepTrailing)
        result.erase(result.size() - delimiter.size());
    return result;
}

bool IsDottedQuad(std::string_view text) {
    std::string rest = rtl::trimControls(text);
    for (int piece = 0; piece < 4; ++piece) {
        const std::string number = CutToken(rest, ".");
        int64_t value = 0;
        const bool digitsOnly = std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digitsOnly || !ReadInteger(number, 0, 255, value)) return false;
    }
    return true;
}

bool IsPlainHostName(std::string_view text) {
    return !(!text.empty() && text[0] == '.') && !IsDottedQuad(text);
}

std::string ParentDomainOf(std::string_view host) {
    const size_t dot = host.find('.');
    return std::string(dot == std::string_view::npos ? host : host.substr(dot));
}

}  // namespace net
