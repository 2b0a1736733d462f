#pragma once
// TNetURI splits a URL into its parts and builds it back; beside it live the
// small string and host-name routines of the HTTP client, and the reference
// resolution a redirect needs. TNetURI itself escapes and unescapes nothing;
// EncodeTargetBytes is the one place that percent-encodes.
// Not thread-safe: each TNetURI belongs to one request or caller.

#include <string>
#include <string_view>

#include "net/NetException.h"

namespace net {

RTL_DECLARE_EXCEPTION(ENetURIException, ENetException);

class TNetURI {
public:
    TNetURI() = default;
    // Parses `url` at once when it is non-empty.
    explicit TNetURI(std::string_view url);

    // Empties every part, then splits `url` (backslashes count as '/').
    void Parse(std::string_view url);
    // Builds the URL text from the parts.
    // Throws ENetURIException when Protocol or Host is empty.
    std::string ComposeURL(bool withCredentials, bool withFragment) const;
    // Keeps the full URL (credentials, fragment) as URI and returns the one
    // to put on the wire: without credentials and fragment.
    std::string ProxyURL();

    std::string Protocol;
    std::string Username;
    std::string Password;
    std::string Host;
    std::string Port;
    std::string Directory;  // "/a/b/" for absolute URLs
    std::string Resource;   // "page.html"
    std::string Query;      // "?q=1", with its '?'
    std::string Fragment;   // without '#'
    std::string URI;        // the text last parsed or built

private:
    void splitPath(std::string text, bool absolute);
};

// Returns the text before the first `delimiter` (all of it when absent); with
// `remove`, `text` keeps only what follows the delimiter ("" when absent).
std::string CutToken(std::string& text, std::string_view delimiter, bool remove = true, bool matchCase = true);

// 1-based position of the last occurrence of `sub` (case ignored) starting at
// or before `start` (-1: the end of `text`); 0 when there is none.
size_t FindBackward(std::string_view sub, std::string_view text, long long start);

// Resolves `path` against directory `base`: an absolute path replaces it, a
// relative one is appended, ".." drops a segment and repeated delimiters collapse.
// REQUIRES: delimiter is non-empty.
std::string MergePath(std::string_view base, std::string_view path, std::string_view delimiter = "/");

// The five parts of a URI reference; the Has flags tell an empty part from an
// absent one ("?" is an empty query, not none).
struct TNetURIParts {
    std::string Scheme, Authority, Path, Query, Fragment;
    bool HasScheme = false, HasAuthority = false, HasQuery = false, HasFragment = false;
};

// Splits a reference at its first ':' (only after a well-formed scheme name),
// "//", '?' and '#'. Text after the first '?' or '#' is never looked at for
// an authority, so "://" in a query or path stays data.
TNetURIParts SplitReference(std::string_view text);
// The reference text of parts (the exact inverse of SplitReference).
std::string JoinReference(const TNetURIParts& parts);
// "." and ".." segments of an absolute or relative path removed; ".." never
// climbs above the root.
std::string RemoveDotSegments(std::string_view path);
// The target of reference against base (which must have a scheme); a
// reference whose scheme equals base's and that has no authority counts as
// relative, as most servers mean it.
TNetURIParts ResolveReference(const TNetURIParts& base, const TNetURIParts& reference);
// Percent-encodes the bytes that cannot stand in a request target: controls,
// space, bytes from 0x7F up, the characters "<>\^`{|} and a '%' that does
// not begin an escape. Escapes already there are kept, so it is idempotent.
// CR and LF are encoded too; callers refuse them before, as they mean an attack.
std::string EncodeTargetBytes(std::string_view text);

// Four dot-separated numbers 0..255 (text after the fourth is not looked at).
bool IsDottedQuad(std::string_view text);
// A name that neither begins with '.' nor is a dotted quad.
bool IsPlainHostName(std::string_view text);
// "www.a.b" -> ".a.b"; a host without '.' is returned whole.
std::string ParentDomainOf(std::string_view host);

}  // namespace net
