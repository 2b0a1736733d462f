#include "app/KeywordSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace app;

namespace {

KeywordRow row(const std::string& no, const std::string& keyword, const std::string& google = "") {
    KeywordRow r(no, keyword, "");
    r.setCell(colGoogle, google);
    return r;
}

std::vector<std::string> column(const std::vector<KeywordRow>& rows, int c) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.emplace_back(r.cell(c));
    return out;
}

}  // namespace

TEST(KeywordSort, CountTextsConvertOrCountAsZero) {
    EXPECT_EQ(countValue("1,230,000"), 1230000);
    EXPECT_EQ(countValue("  950"), 950);
    EXPECT_EQ(countValue("-12"), -12);
    EXPECT_EQ(countValue("+7"), 7);
    EXPECT_EQ(countValue(""), 0);
    EXPECT_EQ(countValue("about 2,000"), 0);
    EXPECT_EQ(countValue("12 "), 0);       // trailing blank
    EXPECT_EQ(countValue("1, 000"), 0);    // a blank left inside once the comma is gone
    EXPECT_EQ(countValue("-"), 0);
    EXPECT_EQ(countValue("2147483647"), 2147483647);
    EXPECT_EQ(countValue("2,147,483,648"), 0);  // over the 32-bit range
    EXPECT_EQ(countValue("-2147483648"), INT32_MIN);
    EXPECT_EQ(countValue("99999999999999999999999"), 0);
    EXPECT_EQ(CompareCounts("1,200", "950"), 1);
    EXPECT_EQ(CompareCounts("", "0"), 0);
    EXPECT_EQ(CompareCounts("words", "1"), -1);
}

TEST(KeywordSort, ColumnsSortByTheirOwnRules) {
    // Google ascending: empty (0) before 950 before 1,200.
    std::vector<KeywordRow> rows{row("1", "a", "1,200"), row("2", "b", "950"), row("3", "c", "")};
    sortKeywordRows(rows, colGoogle, true);
    EXPECT_EQ(column(rows, colGoogle), (std::vector<std::string>{"", "950", "1,200"}));
    sortKeywordRows(rows, colGoogle, false);
    EXPECT_EQ(column(rows, colGoogle), (std::vector<std::string>{"1,200", "950", ""}));
    // Row numbers sort numerically, not as text.
    std::vector<KeywordRow> numbered{row("10", "x"), row("9", "y"), row("100", "z")};
    sortKeywordRows(numbered, colNo, true);
    EXPECT_EQ(column(numbered, colNo), (std::vector<std::string>{"9", "10", "100"}));
}

TEST(KeywordSort, KeywordsIgnoreCaseAndDirectionNegates) {
    const KeywordRow golf = row("1", "golf"), Golf = row("2", "Golf"), apple = row("3", "apple");
    EXPECT_EQ(CompareRows(golf, Golf, colKeyword, true), 0);
    EXPECT_LT(CompareRows(apple, golf, colKeyword, true), 0);
    EXPECT_GT(CompareRows(apple, golf, colKeyword, false), 0);
    std::vector<KeywordRow> rows{row("1", "Zulu"), row("2", "alpha"), row("3", "Mike")};
    sortKeywordRows(rows, colKeyword, true);
    EXPECT_EQ(column(rows, colKeyword), (std::vector<std::string>{"alpha", "Mike", "Zulu"}));
    // The sort agrees with CompareRows pairwise in both directions.
    for (bool ascending : {true, false}) {
        sortKeywordRows(rows, colKeyword, ascending);
        for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(CompareRows(rows[i - 1], rows[i], colKeyword, ascending), 0);
    }
}

TEST(KeywordRow, CellsCanBeRewrittenInAnyOrder) {
    KeywordRow r("12", "golf clubs", "530");
    r.setCell(colMsn, "3");
    r.setCell(colGoogle, "1,230,000");
    r.setCell(colKeyword, "a much longer keyword than before");
    r.setCell(colYahoo, "");
    const std::vector<std::string> expected{"12", "a much longer keyword than before", "530", "1,230,000", "", "3"};
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(r.cell(c), expected[static_cast<size_t>(c)]) << c;
    EXPECT_EQ(r.cell(6), "");
}

TEST(KeywordSort, LargeListsKeepEveryRowAndEndInOrder) {
    std::mt19937 random(7);
    std::vector<KeywordRow> rows;
    for (int i = 0; i < 5000; ++i) {
        KeywordRow r(std::to_string(i + 1), "kw" + std::to_string(random() % 50), "");
        r.setCell(colGoogle, std::to_string(random() % 100) + (random() % 7 == 0 ? " words" : ""));
        rows.push_back(std::move(r));
    }
    for (int column : {colGoogle, colKeyword, colNo}) {
        for (bool ascending : {false, true}) {
            sortKeywordRows(rows, column, ascending);
            for (size_t i = 1; i < rows.size(); ++i)
                ASSERT_LE(CompareRows(rows[i - 1], rows[i], column, ascending), 0) << column << " at " << i;
            std::vector<bool> seen(rows.size() + 1, false);
            for (const auto& r : rows) seen[static_cast<size_t>(countValue(r.cell(colNo)))] = true;
            EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), true), 5000);
        }
    }
}
