#include "app/KeywordRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <numeric>
#include <random>
#include <string>

using namespace app;

// Counts the allocations made while g_countAllocations is set.
namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<int> g_allocations{0};
}  // namespace

void* operator new(size_t size) {
    if (g_countAllocations) ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// The same list kept the plain way.
struct PlainRow {
    std::array<std::string, 6> cells;
    uint32_t id;
    bool checked = false;
};

void expectSame(const TKeywordRows& rows, const std::vector<PlainRow>& plain) {
    ASSERT_EQ(rows.count(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        const KeywordRowView view = rows.row(i);
        ASSERT_EQ(view.id(), plain[i].id) << i;
        ASSERT_EQ(view.checked(), plain[i].checked) << i;
        ASSERT_EQ(rows.find(view.id()), i);
        const RowCells cells = view.cells();
        for (int c = 0; c < kColumnCount; ++c) {
            ASSERT_EQ(view.cell(c), plain[i].cells[static_cast<size_t>(c)]) << i << "/" << c;
            ASSERT_EQ(cells[static_cast<size_t>(c)], plain[i].cells[static_cast<size_t>(c)]) << i << "/" << c;
        }
    }
}

}  // namespace

TEST(KeywordRows, CellsCanBeRewrittenInAnyOrder) {
    TKeywordRows rows;
    const size_t r = rows.append({"12", "golf clubs", "530", {}, {}, {}});
    rows.setCell(r, colMsn, "3");
    rows.setCell(r, colGoogle, "1,230,000");
    rows.setCell(r, colKeyword, "a much longer keyword than before");
    rows.setCell(r, colYahoo, "");
    rows.setCell(r, colSearches, "5");  // shorter: rewritten in place
    const std::vector<std::string> expected{"12", "a much longer keyword than before", "5", "1,230,000", "", "3"};
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(rows.cell(r, c), expected[static_cast<size_t>(c)]) << c;
    EXPECT_EQ(rows.cell(r, 6), "");
    EXPECT_EQ(rows.cell(r, -1), "");
}

TEST(KeywordRows, LongCellsKeepTheirBytes) {
    TKeywordRows rows;
    std::string big(3 << 20, 'k');  // larger than a shared block
    big[12345] = '\0';              // bytes, not C strings
    const size_t a = rows.append({"1", big, {}, {}, {}, {}});
    const size_t b = rows.append({"2", "small", {}, {}, {}, {}});
    rows.setCell(b, colGoogle, std::string(200, '9'));
    EXPECT_EQ(rows.cell(a, colKeyword), big);
    EXPECT_EQ(rows.cell(b, colKeyword), "small");
    EXPECT_EQ(rows.cell(b, colGoogle), std::string(200, '9'));
}

TEST(KeywordRows, IdsFindRowsThroughRemovalsAndNeverComeBack) {
    TKeywordRows rows;
    for (int i = 0; i < 10; ++i) rows.append({std::to_string(i + 1), "k" + std::to_string(i), {}, {}, {}, {}});
    const uint32_t third = rows.row(2).id(), last = rows.row(9).id();
    for (size_t i : {0u, 2u, 5u}) rows.setChecked(i, true);
    EXPECT_EQ(rows.removeChecked(), 3u);
    EXPECT_EQ(rows.find(third), TKeywordRows::kNotFound);
    EXPECT_EQ(rows.find(last), 6u);
    rows.clear();
    EXPECT_EQ(rows.find(last), TKeywordRows::kNotFound);
    const size_t again = rows.append({"1", "new", {}, {}, {}, {}});
    EXPECT_NE(rows.row(again).id(), last);  // a new row never takes an old id
    EXPECT_EQ(rows.find(rows.row(again).id()), 0u);
}

TEST(KeywordRows, ReservedRoomIsUsedByTheAppendsThatFollow) {
    TKeywordRows rows;
    std::vector<RowCells> cells;
    std::vector<std::string> texts;
    for (int i = 0; i < 1000; ++i) texts.push_back("keyword " + std::to_string(i));
    size_t bytes = 0;
    for (const auto& t : texts) {
        cells.push_back({"1", t, {}, {}, {}, {}});
        bytes += storedRowSize(cells.back());
    }
    rows.reserve(cells.size(), bytes);
    for (const auto& c : cells) rows.append(c);
    EXPECT_EQ(rows.liveBytes(), bytes);
    EXPECT_EQ(rows.gapBytes(), 0u);
}

// The list model announces an insert between reserve and the appends; an
// allocation there could fail with the insert half done.
TEST(KeywordRows, AppendsAfterAReserveAllocateNothing) {
    for (int bigRows = 0; bigRows < 40; ++bigRows) {
        TKeywordRows rows;
        // Rows of 600 KB take a block each, so the block list fills up to every size.
        for (int i = 0; i < bigRows; ++i) rows.append({"1", std::string(600 << 10, 'k'), {}, {}, {}, {}});
        // More than the open block has left: the reserve adds a block.
        const std::string keyword(1000, 'w');
        const RowCells cells{"2", keyword, {}, {}, {}, {}};
        const size_t rowCount = 1000;
        rows.reserve(rowCount, rowCount * storedRowSize(cells));
        g_allocations = 0;
        g_countAllocations = true;
        for (size_t i = 0; i < rowCount; ++i) rows.append(cells);
        g_countAllocations = false;
        EXPECT_EQ(g_allocations, 0) << "after " << bigRows << " large rows";
        ASSERT_EQ(rows.count(), bigRows + rowCount);
        EXPECT_EQ(rows.cell(rows.count() - 1, colKeyword), keyword);
    }
}

TEST(KeywordRows, AReserveBeyondTheLastIdIsRefusedBeforeAnyAppend) {
    const uint32_t lastId = TKeywordRows::kCheckedBit - 2;
    TKeywordRows rows(lastId - 4);  // five ids left
    const RowCells cells{"1", "golf", {}, {}, {}, {}};
    EXPECT_THROW(rows.reserve(6, 6 * storedRowSize(cells)), std::bad_alloc);
    EXPECT_EQ(rows.count(), 0u);
    rows.reserve(5, 5 * storedRowSize(cells));
    for (int i = 0; i < 5; ++i) rows.append(cells);
    EXPECT_EQ(rows.row(4).id(), lastId);
    EXPECT_EQ(rows.find(lastId), 4u);
    EXPECT_THROW(rows.reserve(1, storedRowSize(cells)), std::bad_alloc);
    EXPECT_THROW(rows.append(cells), std::length_error);
    EXPECT_EQ(rows.count(), 5u);
}

TEST(KeywordRows, AgreesWithAPlainListUnderRandomChanges) {
    std::mt19937 random(99);
    TKeywordRows rows;
    std::vector<PlainRow> plain;
    uint32_t nextId = 1;
    auto text = [&](size_t maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (auto& c : s) c = static_cast<char>('a' + random() % 26);
        return s;
    };
    for (int step = 0; step < 40000; ++step) {
        const unsigned what = random() % 100;
        if (what < 30 || plain.empty()) {
            PlainRow p{{std::to_string(plain.size() + 1), text(random() % 50 == 0 ? 5000 : 40), text(8), "", "", ""}, nextId++};
            rows.append({p.cells[0], p.cells[1], p.cells[2], {}, {}, {}});
            plain.push_back(std::move(p));
        } else if (what < 88) {
            const size_t i = random() % plain.size();
            const int c = static_cast<int>(random() % kColumnCount);
            // Mostly growing cells (as counts arrive), sometimes large ones: many moves and gaps.
            std::string value = text(random() % 10 == 0 ? 3000 : 20);
            rows.setCell(i, c, value);
            plain[i].cells[static_cast<size_t>(c)] = value;
        } else if (what < 94) {
            const size_t i = random() % plain.size();
            const bool mark = random() % 2;
            rows.setChecked(i, mark);
            plain[i].checked = mark;
        } else if (what < 96) {
            rows.removeChecked();
            plain.erase(std::remove_if(plain.begin(), plain.end(), [](const PlainRow& p) { return p.checked; }), plain.end());
        } else if (what < 99) {
            std::vector<uint32_t> order(plain.size());
            std::iota(order.begin(), order.end(), 0u);
            std::shuffle(order.begin(), order.end(), random);
            std::vector<PlainRow> moved;
            for (const uint32_t from : order) moved.push_back(plain[from]);
            plain = std::move(moved);
            rows.permute(order);
        } else if (random() % 20 == 0) {
            rows.clear();
            plain.clear();
        }
        if (step % 500 == 0) {
            ASSERT_NO_FATAL_FAILURE(expectSame(rows, plain)) << "step " << step;
        }
    }
    ASSERT_NO_FATAL_FAILURE(expectSame(rows, plain));
}

TEST(KeywordRows, GapsLeftByMovedRowsAreClosed) {
    TKeywordRows rows;
    for (int i = 0; i < 10000; ++i) rows.append({std::to_string(i + 1), std::string(1000, 'a'), {}, {}, {}, {}});
    const size_t live = rows.liveBytes();
    // Every row grows once, so each moves and leaves its old place behind.
    for (size_t i = 0; i < rows.count(); ++i) rows.setCell(i, colGoogle, "1,234,567");
    EXPECT_LT(rows.gapBytes() * 2, rows.liveBytes());  // left alone, the gaps would match the rows
    EXPECT_GT(rows.liveBytes(), live);
    for (size_t i = 0; i < rows.count(); ++i) {
        ASSERT_EQ(rows.cell(i, colNo), std::to_string(i + 1));
        ASSERT_EQ(rows.cell(i, colGoogle), "1,234,567");
    }
}
