#include "app/KeywordSort.h"

#include <algorithm>
#include <numeric>

#include "platform/LocaleCompare.h"

namespace app {

int32_t countValue(std::string_view text) {
    size_t i = 0;
    // Commas are dropped wherever they stand, so scan the text as if they were absent.
    auto skipCommas = [&] { while (i < text.size() && text[i] == ',') ++i; };
    skipCommas();
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
        skipCommas();
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
        skipCommas();
    }
    int64_t value = 0;
    bool anyDigit = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',') continue;
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return 0;
        anyDigit = true;
    }
    if (!anyDigit) return 0;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return 0;
    return static_cast<int32_t>(value);
}

int CompareCounts(std::string_view x, std::string_view y) {
    const int32_t a = countValue(x), b = countValue(y);
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareRows(const KeywordRow& a, const KeywordRow& b, int column, bool ascending) {
    int result;
    if (column == colKeyword) {
        result = platform::compareTextIgnoreCase(std::string(a.cell(column)), std::string(b.cell(column)));
        result = result < 0 ? -1 : (result > 0 ? 1 : 0);
    } else {
        result = CompareCounts(a.cell(column), b.cell(column));
    }
    return ascending ? result : -result;
}

namespace {

template <typename Less>
void permuteByOrder(std::vector<KeywordRow>& rows, std::vector<uint32_t>& order, Less less) {
    std::stable_sort(order.begin(), order.end(), less);
    // Apply the permutation in place, cycle by cycle: row j takes the row at
    // order[j]. No second copy of a large list is needed.
    for (uint32_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) continue;
        KeywordRow carried = std::move(rows[start]);
        uint32_t j = start;
        for (;;) {
            const uint32_t from = order[j];
            order[j] = j;
            if (from == start) {
                rows[j] = std::move(carried);
                break;
            }
            rows[j] = std::move(rows[from]);
            j = from;
        }
    }
}

}  // namespace

void sortKeywordRows(std::vector<KeywordRow>& rows, int column, bool ascending) {
    if (column < 0 || column >= kColumnCount || rows.size() < 2) return;
    std::vector<uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    if (column == colKeyword) {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(rows.size());
        for (const auto& row : rows) keys.push_back(platform::sortKeyIgnoreCase(std::string(row.cell(column))));
        permuteByOrder(rows, order, [&](uint32_t a, uint32_t b) {
            const int c = keys[a].compare(keys[b]);
            return ascending ? c < 0 : c > 0;
        });
        return;
    }
    std::vector<int32_t> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) keys[i] = countValue(rows[i].cell(column));
    permuteByOrder(rows, order, [&](uint32_t a, uint32_t b) { return ascending ? keys[a] < keys[b] : keys[a] > keys[b]; });
}

}  // namespace app
