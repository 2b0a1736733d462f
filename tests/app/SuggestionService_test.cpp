// The suggestion service's request addresses and the reading of its table,
// the fast parser checked against a plain walk of ExtractBetween cuts.
#include <gtest/gtest.h>

#include <random>

#include "app/SearchEngines.h"
#include "app/SuggestionService.h"
#include "app/UUtils.h"

using namespace app;

namespace app {
void PrintTo(const TSuggestion& row, std::ostream* out) { *out << "{\"" << row.keyword << "\", \"" << row.count << "\"}"; }
}  // namespace app

namespace {

std::vector<TSuggestion> parseAll(std::string_view page) {
    TSuggestionParser parser(page);
    std::vector<TSuggestion> rows;
    TSuggestion row;
    while (parser.next(row)) rows.push_back(row);
    return rows;
}

// The table walk as the design writes it, with ExtractBetween on one parse text.
std::vector<TSuggestion> parseByCuts(const std::string& page) {
    std::vector<TSuggestion> rows;
    std::string parseText = page;
    if (page.find("</tfoot>") == std::string::npos) return rows;
    ExtractBetween(parseText, "</tfoot>", ">");
    auto count = [&] {
        std::string text = HtmlToText(ExtractBetween(parseText, "<tr><td>", "</td>"));
        if (text.size() > kMaxCountBytes) text.resize(kMaxCountBytes);
        return text;
    };
    for (std::string c = count(); !c.empty(); c = count())
        rows.push_back({HtmlToText(ExtractBetween(parseText, "\">", "</a>")), c});
    return rows;
}

}  // namespace

TEST(SuggestionServiceTest, RequestAddresses) {
    EXPECT_EQ(seedRequestUrl("127.0.0.1:81", "golf clubs"),
              "http://127.0.0.1:81/?seed=golf+clubs&adult_filter=remove_offensive&suggest=Hit+Me");
    // Other bytes are percent-encoded, as the engine keywords are.
    EXPECT_EQ(seedRequestUrl("h", "AT&T  c#/caf\xE9+1"),
              "http://h/?seed=AT%26T++c%23%2Fcaf%E9%2B1&adult_filter=remove_offensive&suggest=Hit+Me");
    EXPECT_EQ(answerRequestUrl("h:8", "a&b #c+1", "r+0/S1=", "golf clubs"),
              "http://h:8/keyword-suggestion-tool.html?password=a%26b%20%23c%2B1&random=r%2B0%2FS1%3D&seed=golf%20clubs");
    EXPECT_EQ(answerRequestUrl("h", "", "", ""), "http://h/keyword-suggestion-tool.html?password=&random=&seed=");
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    const std::string encoded = percentEncode(everyByte);
    EXPECT_EQ(encoded.size(), 66 + (256 - 66) * 3u);  // 66 unreserved bytes stay
    EXPECT_EQ(encoded.substr(0, 9), "%00%01%02");
    EXPECT_EQ(encoded.find("%2D"), std::string::npos) << "'-' is unreserved";
    EXPECT_EQ(percentEncode("Az09-._~ %\xFF"), "Az09-._~%20%25%FF");
}

TEST(SuggestionServiceTest, TheSecurityImagePromptIsCaseSensitive) {
    EXPECT_TRUE(isSecurityImagePage("<p>Please enter the characters in the image</p>"));
    EXPECT_FALSE(isSecurityImagePage("<p>please enter the characters in the image</p>"));
    EXPECT_FALSE(isSecurityImagePage("Please enter the characters in the imag"));
    EXPECT_FALSE(isSecurityImagePage(""));
}

TEST(SuggestionServiceTest, ReadsTheRowsAfterTheTableFoot) {
    const std::string page =
        "<table><tr><td>9</td><td><a href=\"x\">before the foot</a></td></tr>"
        "<tfoot><tr><td>foot</td></tr></tfoot>\n<tbody>\n"
        "<tr><td>1,234</td><td><a href=\"/k?q=1\">golf clubs</a></td></tr>\n"
        "<TR><TD> 567 </TD><td><A HREF=\"/k\">used golf &amp; tennis</A></td></tr>\n"
        "<tr><td><b>89</b></td><td><a href=\"/k\">cheap <b>golf</b> clubs</a></td></tr>\n"
        "<tr><td>&nbsp;</td><td><a href=\"/k\">never read</a></td></tr>\n"
        "<tr><td>5</td><td><a href=\"/k\">after the end</a></td></tr></tbody></table>";
    const std::vector<TSuggestion> expected{{"golf clubs", "1,234"}, {"used golf & tennis", "567"},
                                            {"cheap golf clubs", "89"}};
    EXPECT_EQ(parseAll(page), expected);
    EXPECT_EQ(parseByCuts(page), expected);
    // The presence test alone is case-sensitive; every cut matches in any case.
    std::string upper = page;
    upper.replace(upper.find("</tfoot>"), 8, "</TFOOT>");
    EXPECT_TRUE(parseAll(upper).empty());
    EXPECT_TRUE(parseAll("").empty());
    // A row without a link still gives its count, with an empty keyword.
    EXPECT_EQ(parseAll("</tfoot>><tr><td>7</td>"), (std::vector<TSuggestion>{{"", "7"}}));
    // An over-long count is kept to its first bytes.
    const auto longCount = parseAll("</tfoot>><tr><td>" + std::string(1000, '9') + "</td><a href=\"\">k</a>");
    ASSERT_EQ(longCount.size(), 1u);
    EXPECT_EQ(longCount[0].count, std::string(kMaxCountBytes, '9'));
    // Once done, always done.
    TSuggestionParser parser("</tfoot>><tr><td>1</td>\">a</a>");
    TSuggestion row;
    EXPECT_TRUE(parser.next(row));
    EXPECT_FALSE(parser.next(row));
    EXPECT_FALSE(parser.next(row));
}

TEST(SuggestionServiceTest, MatchesThePlainWalkOnRandomPages) {
    const char* pieces[] = {"</tfoot>", "</TFOOT>", ">", "<tr><td>", "<TR><td>", "</td>", "</TD>", "\">", "</a>",
                            "</A>", "&nbsp;", "&amp;", " ", "1", "42", "kw", "<b>", "\"", "<", "t", "\n"};
    std::mt19937 random(12345);
    for (int round = 0; round < 4000; ++round) {
        std::string page;
        const int length = static_cast<int>(random() % 60);
        for (int i = 0; i < length; ++i) page += pieces[random() % std::size(pieces)];
        if (round % 3 == 0) page.insert(random() % (page.size() + 1), "</tfoot>");
        ASSERT_EQ(parseAll(page), parseByCuts(page)) << page;
    }
}

TEST(SuggestionServiceTest, AHugePageOfMissingLinksIsReadInLinearTime) {
    // Two million rows and no link: each row's keyword search would scan the
    // whole rest of the page again if absent markers were searched anew.
    std::string page = "</tfoot>>";
    page.reserve(2'000'000 * 16);
    for (int i = 0; i < 2'000'000; ++i) page += "<tr><td>7</td>";
    TSuggestionParser parser(page);
    TSuggestion row;
    size_t rows = 0;
    while (parser.next(row)) ++rows;
    EXPECT_EQ(rows, 2'000'000u);
}
