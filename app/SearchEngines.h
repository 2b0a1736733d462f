#pragma once
// The three result-count engines: how a request URL is built for a keyword
// and how the count is cut out of the result page.

#include <array>
#include <string>
#include <string_view>

#include "app/Endpoints.h"
#include "app/KeywordRow.h"

namespace app {

struct SearchEngine {
    const char* name;
    const char* pathAndKey;   // after the host, e.g. "/search?q="
    const char* firstStart;   // first cut: only moves the parse text on
    const char* firstEnd;
    const char* countStart;   // second cut: the count
    const char* countEnd;
    bool dropAboutAndSpaces;  // Yahoo writes "about 1,230"
    Column column;
};

// Longest count kept: a count is digits and separators, so anything longer
// is a page gone wrong; its first bytes are kept and the job goes on.
constexpr size_t kMaxCountBytes = 64;

// In the order every row visits them: Google, Yahoo, MSN.
const std::array<SearchEngine, 3>& searchEngines();

// The configured host of an engine ("host" or "host:port").
const std::string& engineHost(const Endpoints& endpoints, const SearchEngine& engine);

// Every byte other than A-Z a-z 0-9 - . _ ~ as %XX (a space too).
std::string percentEncode(std::string_view bytes);

// Spaces become "+"; every byte other than A-Z a-z 0-9 - . _ ~ becomes %XX,
// so "AT&T", "c#" and non-ASCII keywords reach the engine whole.
std::string encodeKeyword(std::string_view keyword);

// "http://" + host + path and key + quote + keyword + quote, where quote is
// "%22" for a precise search and empty for a broad one.
std::string engineUrl(const SearchEngine& engine, const std::string& host, std::string_view keyword, bool precise);

// The count text of a result page: the two cuts, then Yahoo's clean-up,
// then cut to kMaxCountBytes.
std::string scrapeCount(const SearchEngine& engine, const std::string& pageText);

}  // namespace app
