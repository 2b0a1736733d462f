#pragma once
// The keyword-suggestion service: its two request addresses, the test for a
// security-image page, and the reading of its suggestion table. Bytes in,
// bytes out. Safe from any thread.

#include <string>
#include <string_view>

#include "app/SearchEngines.h"

namespace app {

// A page holding this text (case-sensitive) asks for the characters of a
// security image.
constexpr std::string_view kSecurityImagePrompt = "Please enter the characters in the image";
bool isSecurityImagePage(std::string_view page);

// "http://" host "/?seed=" keyword "&adult_filter=remove_offensive&suggest=Hit+Me",
// the keyword with spaces as "+" and other bytes percent-encoded.
std::string seedRequestUrl(const std::string& host, std::string_view mainKeyword);
// "http://" host "/keyword-suggestion-tool.html?password=" ... "&random=" ...
// "&seed=" ..., each value percent-encoded so it reaches the service whole.
std::string answerRequestUrl(const std::string& host, std::string_view password, std::string_view random,
                             std::string_view seed);

struct TSuggestion {
    std::string keyword;
    std::string count;  // at most kMaxCountBytes
    bool operator==(const TSuggestion&) const = default;
};

// Reads the suggestion rows of a page, one at a time, exactly as a walk of
// ExtractBetween cuts over one parse text would, in time linear in the page:
// the parse text is a view that only moves forward, and a marker once found
// absent is not searched again. The page must outlive the parser.
class TSuggestionParser {
public:
    explicit TSuggestionParser(std::string_view page);
    // The next row; false once a row's first cell is empty after clean-up or
    // the markers run out (and ever after).
    bool next(TSuggestion& row);

private:
    struct Marker {
        std::string_view text;
        bool absent = false;
    };
    // ExtractBetween on the view.
    std::string_view cut(Marker& start, Marker& end);
    std::string nextCount();

    std::string_view m_rest;
    std::string m_count;
    Marker m_footEnd{"</tfoot>"}, m_tagEnd{">"}, m_rowStart{"<tr><td>"}, m_cellEnd{"</td>"}, m_linkStart{"\">"},
        m_linkEnd{"</a>"};
};

}  // namespace app
