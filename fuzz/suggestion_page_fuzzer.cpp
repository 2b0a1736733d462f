// The suggestion service's pages: the table parser against a plain walk of
// ExtractBetween cuts, the security-image page's three values, and the
// answer's percent-encoding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/SearchEngines.h"
#include "app/SecurityImagePage.h"
#include "app/SuggestionService.h"
#include "app/UUtils.h"

namespace {

std::vector<app::TSuggestion> byCuts(const std::string& page) {
    std::vector<app::TSuggestion> rows;
    if (page.find("</tfoot>") == std::string::npos) return rows;
    std::string parseText = page;
    app::ExtractBetween(parseText, "</tfoot>", ">");
    auto count = [&] {
        std::string text = app::HtmlToText(app::ExtractBetween(parseText, "<tr><td>", "</td>"));
        if (text.size() > app::kMaxCountBytes) text.resize(app::kMaxCountBytes);
        return text;
    };
    for (std::string c = count(); !c.empty(); c = count())
        rows.push_back({app::HtmlToText(app::ExtractBetween(parseText, "\">", "</a>")), c});
    return rows;
}

bool isUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);

    std::vector<app::TSuggestion> rows;
    app::TSuggestionParser parser(page);
    app::TSuggestion row;
    while (parser.next(row)) {
        if (row.count.empty() || row.count.size() > app::kMaxCountBytes) __builtin_trap();
        rows.push_back(row);
        if (rows.size() > size) __builtin_trap();  // every row consumes page bytes
    }
    if (parser.next(row)) __builtin_trap();  // once done, always done
    if (rows != byCuts(page)) __builtin_trap();

    const app::TSecurityImageFields fields = app::parseSecurityImagePage(page);
    for (const std::string* value : {&fields.randomValue, &fields.seedValue, &fields.imageURL})
        if (value->size() > app::kMaxSecurityFieldBytes || value->size() > size) __builtin_trap();
    if (fields.randomValue.find('"') != std::string::npos || fields.seedValue.find('"') != std::string::npos)
        __builtin_trap();

    const std::string encoded = app::percentEncode(page);
    size_t at = 0;
    for (const char c : page) {
        if (isUnreserved(c)) {
            if (encoded[at++] != c) __builtin_trap();
        } else {
            if (encoded[at] != '%') __builtin_trap();
            at += 3;
        }
    }
    if (at != encoded.size()) __builtin_trap();
    return 0;
}
