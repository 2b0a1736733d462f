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

// --- references ---

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )
bool isSchemeName(std::string_view text) {
    if (text.empty() || !isAlpha(text[0])) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; });
}

// Everything of path up to and including its last '/' ("" when none).
std::string_view directoryOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

}  // namespace

TNetURIParts SplitReference(std::string_view text) {
    TNetURIParts parts;
    const size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        parts.HasFragment = true;
        parts.Fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    const size_t question = text.find('?');
    if (question != std::string_view::npos) {
        parts.HasQuery = true;
        parts.Query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos && colon < text.find('/') && isSchemeName(text.substr(0, colon))) {
        parts.HasScheme = true;
        parts.Scheme = std::string(text.substr(0, colon));
        text = text.substr(colon + 1);
    }
    if (text.substr(0, 2) == "//") {
        parts.HasAuthority = true;
        text = text.substr(2);
        const size_t slash = text.find('/');
        parts.Authority = std::string(text.substr(0, slash));
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    }
    parts.Path = std::string(text);
    return parts;
}

std::string JoinReference(const TNetURIParts& parts) {
    std::string out;
    if (parts.HasScheme) out += parts.Scheme + ":";
    if (parts.HasAuthority) out += "//" + parts.Authority;
    out += parts.Path;
    if (parts.HasQuery) out += "?" + parts.Query;
    if (parts.HasFragment) out += "#" + parts.Fragment;
    return out;
}

std::string RemoveDotSegments(std::string_view input) {
    std::string output;
    // Each round removes at least one byte of input, so the loop is bounded by its size.
    while (!input.empty()) {
        if (input.substr(0, 3) == "../") {
            input.remove_prefix(3);
        } else if (input.substr(0, 2) == "./") {
            input.remove_prefix(2);
        } else if (input.substr(0, 3) == "/./") {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.substr(0, 4) == "/../" || input == "/..") {
            if (input == "/..") input = "/";
            else input.remove_prefix(3);
            const size_t last = output.rfind('/');
            output.erase(last == std::string::npos ? 0 : last);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            const size_t take = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, take));
            input.remove_prefix(take);
        }
    }
    return output;
}

TNetURIParts ResolveReference(const TNetURIParts& base, const TNetURIParts& reference) {
    TNetURIParts ref = reference;
    if (ref.HasScheme && !ref.HasAuthority && rtl::equalsIgnoreCase(ref.Scheme, base.Scheme)) ref.HasScheme = false;
    TNetURIParts target;
    if (ref.HasScheme) {
        target = ref;
        target.Path = RemoveDotSegments(ref.Path);
    } else {
        target.HasScheme = true;
        target.Scheme = base.Scheme;
        if (ref.HasAuthority) {
            target.HasAuthority = true;
            target.Authority = ref.Authority;
            target.Path = RemoveDotSegments(ref.Path);
            target.HasQuery = ref.HasQuery;
            target.Query = ref.Query;
        } else {
            target.HasAuthority = base.HasAuthority;
            target.Authority = base.Authority;
            if (ref.Path.empty()) {
                target.Path = base.Path;
                target.HasQuery = ref.HasQuery || base.HasQuery;
                target.Query = ref.HasQuery ? ref.Query : base.Query;
            } else {
                if (ref.Path[0] == '/') {
                    target.Path = RemoveDotSegments(ref.Path);
                } else if (base.HasAuthority && base.Path.empty()) {
                    target.Path = RemoveDotSegments("/" + ref.Path);
                } else {
                    target.Path = RemoveDotSegments(std::string(directoryOf(base.Path)) + ref.Path);
                }
                target.HasQuery = ref.HasQuery;
                target.Query = ref.Query;
            }
        }
    }
    target.HasFragment = ref.HasFragment;
    target.Fragment = ref.Fragment;
    return target;
}

std::string EncodeTargetBytes(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool escapeStart = c == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2]);
        const bool unsafe = c <= 0x20 || c >= 0x7F || std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) !=
                                                           std::string_view::npos;
        if (unsafe || (c == '%' && !escapeStart)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
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
