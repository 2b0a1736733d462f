#include "app/KeywordSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace app;

namespace {

struct Row {
    std::string no, keyword, google;
};

std::unique_ptr<TKeywordRows> makeRows(const std::vector<Row>& list) {
    auto rows = std::make_unique<TKeywordRows>();
    for (const Row& r : list) rows->setCell(rows->append({r.no, r.keyword, {}, {}, {}, {}}), colGoogle, r.google);
    return rows;
}

std::vector<std::string> column(const TKeywordRows& rows, int c) {
    std::vector<std::string> out;
    for (size_t i = 0; i < rows.count(); ++i) out.emplace_back(rows.cell(i, c));
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
    auto rows = makeRows({{"1", "a", "1,200"}, {"2", "b", "950"}, {"3", "c", ""}});
    sortKeywordRows(*rows, colGoogle, true);
    EXPECT_EQ(column(*rows, colGoogle), (std::vector<std::string>{"", "950", "1,200"}));
    sortKeywordRows(*rows, colGoogle, false);
    EXPECT_EQ(column(*rows, colGoogle), (std::vector<std::string>{"1,200", "950", ""}));
}

TEST(KeywordSort, RowNumbersSortNumerically) {
    auto numbered = makeRows({{"10", "x", ""}, {"9", "y", ""}, {"100", "z", ""}});
    sortKeywordRows(*numbered, colNo, true);
    EXPECT_EQ(column(*numbered, colNo), (std::vector<std::string>{"9", "10", "100"}));
}

TEST(KeywordSort, KeywordsIgnoreCaseAndDirectionNegates) {
    auto pairs = makeRows({{"1", "golf", ""}, {"2", "Golf", ""}, {"3", "apple", ""}});
    const KeywordRowView golf = pairs->row(0), Golf = pairs->row(1), apple = pairs->row(2);
    EXPECT_EQ(CompareRows(golf, Golf, colKeyword, true), 0);
    EXPECT_LT(CompareRows(apple, golf, colKeyword, true), 0);
    EXPECT_GT(CompareRows(apple, golf, colKeyword, false), 0);
    auto rows = makeRows({{"1", "Zulu", ""}, {"2", "alpha", ""}, {"3", "Mike", ""}});
    sortKeywordRows(*rows, colKeyword, true);
    EXPECT_EQ(column(*rows, colKeyword), (std::vector<std::string>{"alpha", "Mike", "Zulu"}));
    // The sort agrees with CompareRows pairwise in both directions.
    for (bool ascending : {true, false}) {
        sortKeywordRows(*rows, colKeyword, ascending);
        for (size_t i = 1; i < rows->count(); ++i)
            EXPECT_LE(CompareRows(rows->row(i - 1), rows->row(i), colKeyword, ascending), 0);
    }
}

TEST(KeywordSort, LargeListsKeepEveryRowAndEndInOrder) {
    std::mt19937 random(7);
    TKeywordRows rows;
    for (int i = 0; i < 5000; ++i) {
        const size_t r = rows.append({std::to_string(i + 1), "kw" + std::to_string(random() % 50), {}, {}, {}, {}});
        rows.setCell(r, colGoogle, std::to_string(random() % 100) + (random() % 7 == 0 ? " words" : ""));
    }
    for (int column : {colGoogle, colKeyword, colNo}) {
        for (bool ascending : {false, true}) {
            sortKeywordRows(rows, column, ascending);
            for (size_t i = 1; i < rows.count(); ++i)
                ASSERT_LE(CompareRows(rows.row(i - 1), rows.row(i), column, ascending), 0) << column << " at " << i;
            std::vector<bool> seen(rows.count() + 1, false);
            for (size_t i = 0; i < rows.count(); ++i) {
                seen[static_cast<size_t>(countValue(rows.cell(i, colNo)))] = true;
                ASSERT_EQ(rows.find(rows.row(i).id()), i);  // the id index follows the sort
            }
            EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), true), 5000);
        }
    }
}
