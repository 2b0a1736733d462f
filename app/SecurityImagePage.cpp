#include "app/SecurityImagePage.h"

#include "app/UUtils.h"

namespace app {

namespace {
std::string bounded(std::string value) { return value.size() > kMaxSecurityFieldBytes ? std::string() : value; }
}  // namespace

TSecurityImageFields parseSecurityImagePage(std::string_view page) {
    std::string parseText(page);
    TSecurityImageFields fields;
    fields.randomValue = bounded(ExtractBetween(parseText, "<input type=\"hidden\" name=\"random\" value=\"", "\""));
    fields.seedValue = bounded(ExtractBetween(parseText, "<input type=\"hidden\" name=\"seed\" value=\"", "\""));
    fields.imageURL = bounded(replaceAmpersandEntities(ExtractBetween(parseText, "src=\"", "\"")));
    return fields;
}

std::string replaceAmpersandEntities(std::string_view text) {
    constexpr std::string_view kEntity = "&amp;";
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at; (at = text.find(kEntity, from)) != std::string_view::npos; from = at + kEntity.size()) {
        out.append(text.substr(from, at - from));
        out += '&';
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace app
