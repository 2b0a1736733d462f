#include "net/NetHeaderList.h"

#include <gtest/gtest.h>

using net::TNetHeaderList;

namespace {

TNetHeaderList listOf(std::initializer_list<const char*> lines, int width = TNetHeaderList::kDefaultWrapWidth) {
    TNetHeaderList list(width);
    for (const char* line : lines) list.Add(line);
    return list;
}

// A Cookie value of `length` characters made of "kNNN=vvvv" pairs joined by "; ".
std::string cookieValue(size_t length) {
    std::string value;
    for (int i = 0; value.size() < length; ++i) {
        if (!value.empty()) value += "; ";
        value += "k" + std::to_string(i) + "=" + std::string(17, static_cast<char>('a' + i % 26));
    }
    value.resize(length);
    if (value.back() == ' ' || value.back() == ';') value.back() = 'x';
    return value;
}

}  // namespace

TEST(NetHeaderList, ReadsNamesValuesAndFoldedLines) {
    auto list = listOf({"HTTP/1.1 200 OK", "content-length:  42 ", "X-Long: first", "\tsecond ", "   third",
                        "Next: n", ": no name", "x-long: later"});
    EXPECT_EQ(list.LookupValue("Content-Length"), "42");
    EXPECT_EQ(list.NameAt(1), "CONTENT-LENGTH");
    EXPECT_EQ(list.FindLine("X-LONG"), 2);
    // Continuations join with one space each, whatever their indentation.
    EXPECT_EQ(list.ValueAt(2), "first second third");
    EXPECT_EQ(list.LookupValue("next"), "n");
    EXPECT_EQ(list.FindLine(""), 0) << "a line without ':' has an empty name";
    EXPECT_EQ(list.NameAt(6), "");
    EXPECT_EQ(list.ValueAt(6), "no name");
    EXPECT_EQ(list.FindLine("Missing"), -1);
    EXPECT_EQ(list.LookupValue("Missing"), "");
    EXPECT_EQ(list.ValueAt(-1), "");
    EXPECT_EQ(list.ValueAt(list.Count()), "");
    EXPECT_EQ(list.NameAt(99), "");

    TNetHeaderList all;
    list.CollectAll("X-Long", &all);
    ASSERT_EQ(all.Count(), 2);
    EXPECT_EQ(all.Line(0), "first second third");
    EXPECT_EQ(all.Line(1), "later");
    list.CollectAll("X-Long", static_cast<TNetHeaderList*>(nullptr));
    std::vector<std::string> values;
    list.CollectAll("content-LENGTH", &values);
    EXPECT_EQ(values, std::vector<std::string>{"42"});
}

TEST(NetHeaderList, StoreValueReplacesFirstInPlaceAndEmptyDeletes) {
    auto list = listOf({"Set-Cookie: a=1", "\tcontinued", "Other: x", "set-cookie: b=2"});
    list.StoreValue("SET-COOKIE", "c=3");
    ASSERT_EQ(list.Count(), 3) << "the old continuation line goes with the replaced value";
    EXPECT_EQ(list.Line(0), "SET-COOKIE: c=3");
    EXPECT_EQ(list.Line(1), "Other: x");
    EXPECT_EQ(list.Line(2), "set-cookie: b=2");

    list.StoreValue("New", "v");
    EXPECT_EQ(list.Line(3), "New: v");

    list.StoreValue("set-cookie", "");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Line(0), "Other: x");
    EXPECT_EQ(list.LookupValue("Set-Cookie"), "b=2");
    list.StoreValue("Absent", "");
    EXPECT_EQ(list.Count(), 3);
}

TEST(NetHeaderList, LongCookieWrapsAfterLastSeparatorBeforeTheLimit) {
    TNetHeaderList list(TNetHeaderList::kHeadWrapWidth);
    list.Add("Host: h");
    const std::string value = cookieValue(1100);
    list.StoreValue("Cookie", value);
    ASSERT_EQ(list.Count(), 3);
    const std::string whole = "Cookie: " + value;
    const size_t cut = whole.rfind("; ", TNetHeaderList::kHeadWrapWidth - 2);
    EXPECT_EQ(list.Line(1), whole.substr(0, cut + 1));
    EXPECT_EQ(list.Line(1).back(), ';');
    EXPECT_EQ(list.Line(2), " " + whole.substr(cut + 2));
    EXPECT_EQ(list.LookupValue("cookie"), value) << "reading joins the pieces back";

    // Storing again replaces both lines, not just the first.
    list.StoreValue("Cookie", "short=1");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Line(1), "Cookie: short=1");
}

TEST(NetHeaderList, WrapRespectsQuotesAndBreakCharacters) {
    TNetHeaderList list(20);
    EXPECT_EQ(list.WrapLine("Short: value"), std::vector<std::string>{"Short: value"});

    // The break falls before the quotes or after them, never between.
    const auto quoted = list.WrapLine("X: \"a, b, c, d, e, f, g, h\", tail, more, words");
    EXPECT_EQ(quoted, (std::vector<std::string>{"X:", " \"a, b, c, d, e, f, g, h\",", " tail, more, words"}));

    // Without a break character the line runs on until the next one.
    const auto run = list.WrapLine("Y:" + std::string(40, 'z') + " end");
    EXPECT_EQ(run, (std::vector<std::string>{"Y:" + std::string(40, 'z'), " end"}));

    const auto commas = list.WrapLine("List: alpha,beta,gamma,delta,epsilon");
    ASSERT_EQ(commas.size(), 2u);
    EXPECT_EQ(commas[0], "List: alpha,beta,");
    EXPECT_EQ(commas[1], " gamma,delta,epsilon");
}

TEST(NetHeaderList, ExistingBreaksAreKeptAndLineBreaksCannotStartAHeader) {
    TNetHeaderList list;
    EXPECT_EQ(list.WrapLine("A: x\r\n y"), (std::vector<std::string>{"A: x", " y"}));

    // A value carrying line ends must not turn into extra header lines.
    list.StoreValue("Note", "one\r\nInjected: 1\n\r\n  \r\nlast");
    ASSERT_GE(list.Count(), 2);
    EXPECT_EQ(list.Line(0), "Note: one");
    for (int i = 1; i < list.Count(); ++i) {
        EXPECT_EQ(list.Line(i)[0], ' ') << list.Line(i);
        EXPECT_EQ(list.Line(i).find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(list.Line(i), " ");
    }
    EXPECT_EQ(list.FindLine("Injected"), -1);
    EXPECT_EQ(list.LookupValue("Note"), "one Injected: 1 last");
}

TEST(NetHeaderList, TextRoundTripAndListOperations) {
    TNetHeaderList list;
    list.SetText("A: 1\r\nB: 2\nC: 3\r\n");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Text(), "A: 1\r\nB: 2\r\nC: 3\r\n");
    list.Insert(1, "Z: 0");
    list.Delete(3);
    list.Replace(0, "A: 9");
    list.Insert(10, "ignored");
    list.Delete(-1);
    EXPECT_EQ(list.Text(), "A: 9\r\nZ: 0\r\nB: 2\r\n");
    list.DropContinuations(0);
    EXPECT_EQ(list.Count(), 3) << "no continuation lines to drop";
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
}
