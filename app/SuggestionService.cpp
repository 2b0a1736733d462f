#include "app/SuggestionService.h"

#include "app/SearchEngines.h"
#include "app/UUtils.h"
#include "rtl/StringUtils.h"

namespace app {

bool isSecurityImagePage(std::string_view page) { return page.find(kSecurityImagePrompt) != std::string_view::npos; }

std::string seedRequestUrl(const std::string& host, std::string_view mainKeyword) {
    return "http://" + host + "/?seed=" + encodeKeyword(mainKeyword) + "&adult_filter=remove_offensive&suggest=Hit+Me";
}

std::string answerRequestUrl(const std::string& host, std::string_view password, std::string_view random,
                             std::string_view seed) {
    return "http://" + host + "/keyword-suggestion-tool.html?password=" + percentEncode(password) +
           "&random=" + percentEncode(random) + "&seed=" + percentEncode(seed);
}

TSuggestionParser::TSuggestionParser(std::string_view page) : m_rest(page) {
    if (page.find("</tfoot>") == std::string_view::npos) return;  // case-sensitive, unlike the cuts
    cut(m_footEnd, m_tagEnd);
    m_count = nextCount();
}

bool TSuggestionParser::next(TSuggestion& row) {
    if (m_count.empty()) return false;
    row.count = std::move(m_count);
    row.keyword = HtmlToText(cut(m_linkStart, m_linkEnd));
    m_count = nextCount();
    return true;
}

std::string TSuggestionParser::nextCount() {
    std::string count = HtmlToText(cut(m_rowStart, m_cellEnd));
    if (count.size() > kMaxCountBytes) count.resize(kMaxCountBytes);
    return count;
}

// The view only ever loses a prefix, so a marker absent from it now is absent
// from every later view.
std::string_view TSuggestionParser::cut(Marker& start, Marker& end) {
    if (start.absent) return {};
    const size_t at = rtl::findIgnoreCase(m_rest, start.text);
    if (at == std::string_view::npos) {
        start.absent = true;
        return {};
    }
    m_rest.remove_prefix(at + start.text.size());
    if (end.absent) return {};
    const size_t stop = rtl::findIgnoreCase(m_rest, end.text);
    if (stop == std::string_view::npos) {
        end.absent = true;
        return {};
    }
    const std::string_view found = m_rest.substr(0, stop);
    m_rest.remove_prefix(stop);
    return found;
}

}  // namespace app
