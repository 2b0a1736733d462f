#include "app/UUtils.h"

#include <gtest/gtest.h>

#include <random>

using namespace app;

namespace {

// The rule written the slow way: replace the first occurrence, start over.
std::string restartFromTheBeginning(std::string text, const std::string& search, const std::string& replacement) {
    for (size_t at = text.find(search); !search.empty() && at != std::string::npos; at = text.find(search))
        text.replace(at, search.size(), replacement);
    return text;
}

}  // namespace

TEST(ReplaceAllText, ReplacesWhatReplacementsForm) {
    EXPECT_EQ(ReplaceAllText("a&amp;amp;b", "&amp;", "&"), "a&b");
    EXPECT_EQ(ReplaceAllText("a&amp;amp;amp;b&amp;", "&amp;", "&"), "a&b&");
    EXPECT_EQ(ReplaceAllText("xaabby", "ab", ""), "xy");  // "aabb" collapses from the middle out
    EXPECT_EQ(ReplaceAllText("abc", "", "z"), "abc");
    EXPECT_EQ(ReplaceAllText("", "a", "b"), "");
    EXPECT_EQ(ReplaceAllText("golf clubs  x", " ", "+"), "golf+clubs++x");
    // A replacement holding its own search string is done in one pass, not forever.
    EXPECT_EQ(ReplaceAllText("a-a", "a", "aa"), "aa-aa");
    // A rewrite that could grow forever still ends.
    EXPECT_FALSE(ReplaceAllText(std::string(50, 'a') + "b", "ab", "bbaa").empty());
}

TEST(ReplaceAllText, MatchesTheRestartRuleOnRandomTexts) {
    std::mt19937 random(1234);
    const std::string alphabet = "ab&;";
    auto randomText = [&](size_t maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (auto& c : s) c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(40);
        std::string search = randomText(4);
        if (search.empty()) search = "a";
        std::string replacement = randomText(2);
        if (replacement.size() >= search.size()) replacement.resize(search.size() - 1);
        ASSERT_EQ(ReplaceAllText(text, search, replacement), restartFromTheBeginning(text, search, replacement))
            << "text '" << text << "' search '" << search << "' replacement '" << replacement << "'";
    }
}

TEST(HtmlToText, ListedSpellingsOnlyAndInOrder) {
    EXPECT_EQ(HtmlToText("  <b>Golf</b>&nbsp;clubs<br />\r\n"), "Golf clubs");
    EXPECT_EQ(HtmlToText("a<br>b"), "a b");
    EXPECT_EQ(HtmlToText("a<br />b"), "ab");
    EXPECT_EQ(HtmlToText("<STRONG>x</STRONG>"), "<STRONG>x</STRONG>");
    EXPECT_EQ(HtmlToText("x&amp;nbsp;y"), "x y");
    EXPECT_EQ(HtmlToText("Tel : 555\tFax : 556"), "555 556");
    EXPECT_EQ(HtmlToText("say \"hi\"&#039;s<P>end</P>"), "say hi's end");
    EXPECT_EQ(HtmlToText("<b<b>>"), "");  // "<b>" formed by a removal goes too
    EXPECT_EQ(HtmlToText("\x01 keep <i>it</i> \x1f"), "keep it");
}

TEST(ExtractBetween, CutsTheCallersParseText) {
    std::string parse = "Results 1 - 10 Of About <B>1,230</b> for";
    EXPECT_EQ(ExtractBetween(parse, "of about <b>", "</b>"), "1,230");
    EXPECT_EQ(parse, "</b> for");

    std::string whole = "no markers here <b>7</b>";
    EXPECT_EQ(ExtractBetween(whole, "<font size=-1>Results", "of about <b>"), "");
    EXPECT_EQ(whole, "no markers here <b>7</b>");  // an absent start leaves everything
    EXPECT_EQ(ExtractBetween(whole, "<B>", "</B>"), "7");

    std::string open = "start: value without end";
    EXPECT_EQ(ExtractBetween(open, "START:", "</span>"), "");
    EXPECT_EQ(open, " value without end");

    // Chained calls walk repeated structures and always move forward.
    std::string rows = "<tr>a</tr><tr>b</tr><tr>c</tr>";
    std::string seen;
    for (std::string cell = ExtractBetween(rows, "<tr>", "</tr>"); !cell.empty(); cell = ExtractBetween(rows, "<tr>", "</tr>"))
        seen += cell;
    EXPECT_EQ(seen, "abc");
}

TEST(HtmlToText, EqualsTheRulesAppliedOneByOne) {
    // The same list, applied the plain way, rule after rule.
    static const char* const rules[][2] = {
        {"&amp;", "&"}, {"&nbsp;", " "}, {"\t", " "}, {"<wbr>", ""}, {"&#039;", "'"}, {"Tel : ", ""}, {"Fax : ", ""},
        {"<strong>", ""}, {"</strong>", ""}, {"<em>", ""}, {"<hr>", ""}, {"<h3>", ""}, {"</h3>", ""}, {"<H3>", ""},
        {"</H3>", ""}, {"</em>", ""}, {"<u>", ""}, {"</u>", ""}, {"</INVALID>", ""}, {"<br>", " "}, {"<BR>", " "},
        {"<tr>", ""}, {"</tr>", ""}, {"<td>", ""}, {"</td>", ""}, {"<table>", ""}, {"</table>", ""}, {"</font>", ""},
        {"<b>", ""}, {"<i>", ""}, {"<blockquote>", ""}, {"</p>", ""}, {"<p>", " "}, {"<P>", " "}, {"</P>", ""},
        {"</b>", ""}, {"</i>", ""}, {"</th>", ""}, {"<br />", ""}, {"</FONT>", ""}, {"</TD>", ""}, {"<TD>", ""},
        {"<B>", ""}, {"</B>", ""}, {"<TR>", ""}, {"</TR>", ""}, {"\"", ""}, {"\n", " "}, {"\r", " "}};
    auto slowly = [&](std::string text) {
        for (const auto& r : rules) text = restartFromTheBeginning(text, r[0], r[1]);
        size_t first = 0, last = text.size();
        while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
        while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
        return text.substr(first, last - first);
    };
    // Fragments of the listed spellings, cut and glued at random, so removals
    // keep forming new occurrences of earlier and later rules.
    const std::vector<std::string> pieces = {"<", ">", "/", "b", "br", " />", "&", "amp;", "nbsp;", "#039;", "Tel : ",
                                             "Fa", "x : ", "\t", "\r", "\n", "\"", "p", "P", "i", "td", "TD", "tr",
                                             "font", "FONT", "x", " ", "<b>", "</b>", "&amp;", "<br />", "em", "u"};
    std::mt19937 random(2024);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        ASSERT_EQ(HtmlToText(text), slowly(text)) << "text '" << text << "'";
    }
}
