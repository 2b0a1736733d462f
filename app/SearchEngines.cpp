#include "app/SearchEngines.h"

#include "app/UUtils.h"

namespace app {

const std::array<SearchEngine, 3>& searchEngines() {
    static const std::array<SearchEngine, 3> engines{{
        {"Google", "/search?q=", "<font size=-1>Results", "of about <b>", "of about <b>", "</b>", false, colGoogle},
        {"Yahoo", "/search?p=", "<span id=\"infotext\">", "of", "of", "for", true, colYahoo},
        {"MSN", "/results.aspx?q=", "<span id=\"count\">", " of ", " of ", "</span>", false, colMsn},
    }};
    return engines;
}

const std::string& engineHost(const Endpoints& endpoints, const SearchEngine& engine) {
    switch (engine.column) {
        case colGoogle: return endpoints.google;
        case colYahoo: return endpoints.yahoo;
        default: return endpoints.msn;
    }
}

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Each byte as itself when unreserved, as "+" when a space and spaceAsPlus, else as %XX.
std::string encodeBytes(std::string_view bytes, bool spaceAsPlus) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ' && spaceAsPlus) {
            out += '+';
        } else if (isUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

std::string percentEncode(std::string_view bytes) { return encodeBytes(bytes, false); }

std::string encodeKeyword(std::string_view keyword) { return encodeBytes(keyword, true); }

std::string engineUrl(const SearchEngine& engine, const std::string& host, std::string_view keyword, bool precise) {
    const char* quote = precise ? "%22" : "";
    return "http://" + host + engine.pathAndKey + quote + encodeKeyword(keyword) + quote;
}

std::string scrapeCount(const SearchEngine& engine, const std::string& pageText) {
    std::string parseText = pageText;
    ExtractBetween(parseText, engine.firstStart, engine.firstEnd);
    std::string count = ExtractBetween(parseText, engine.countStart, engine.countEnd);
    if (engine.dropAboutAndSpaces) count = ReplaceAllText(ReplaceAllText(count, "about", ""), " ", "");
    if (count.size() > kMaxCountBytes) count.resize(kMaxCountBytes);
    return count;
}

}  // namespace app
