#pragma once
// Text helpers that all page scraping is built from. Bytes in, bytes out;
// no character-set decoding. Safe from any thread.

#include <string>
#include <string_view>

namespace app {

// Replaces the first occurrence of search (case-sensitive) and starts again
// from the beginning of the new text, until none is left; so text that a
// replacement forms with its surroundings is replaced in turn
// ('a&amp;amp;b' -> 'a&b'). An empty search never matches. A replacement that
// contains search itself would never end; it is then replaced in one pass.
// O(n * |search|): the search resumes just before the spot it replaced.
std::string ReplaceAllText(std::string_view text, std::string_view search, std::string_view replacement);

// Removes a fixed list of tags and entities (case-sensitive spellings only),
// turns some into spaces, then trims bytes <= ' ' at both ends.
std::string HtmlToText(std::string_view text);

// Cuts parseText, which belongs to the caller: finds start (ASCII case
// ignored); absent -> "" and parseText unchanged. Otherwise parseText begins
// after start; finds end in the rest: returns the text before it and leaves
// parseText beginning at end itself; absent -> "" with parseText after start.
std::string ExtractBetween(std::string& parseText, std::string_view start, std::string_view end);

}  // namespace app
