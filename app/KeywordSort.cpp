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

int CompareRows(const KeywordRowView& a, const KeywordRowView& b, int column, bool ascending) {
    int result;
    if (column == colKeyword) {
        result = platform::compareTextIgnoreCase(std::string(a.cell(column)), std::string(b.cell(column)));
        result = result < 0 ? -1 : (result > 0 ? 1 : 0);
    } else {
        result = CompareCounts(a.cell(column), b.cell(column));
    }
    return ascending ? result : -result;
}

void sortKeywordRows(TKeywordRows& rows, int column, bool ascending) {
    std::vector<uint32_t> order = sortedOrder(rows, column, ascending);
    if (!order.empty()) rows.permute(std::move(order));
}

std::vector<uint32_t> sortedOrder(const TKeywordRows& rows, int column, bool ascending) {
    if (column < 0 || column >= kColumnCount || rows.count() < 2) return {};
    std::vector<uint32_t> order(rows.count());
    std::iota(order.begin(), order.end(), 0u);
    if (column == colKeyword) {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(rows.count());
        for (size_t i = 0; i < rows.count(); ++i) keys.push_back(platform::sortKeyIgnoreCase(std::string(rows.cell(i, column))));
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const int c = keys[a].compare(keys[b]);
            return ascending ? c < 0 : c > 0;
        });
    } else {
        std::vector<int32_t> keys(rows.count());
        for (size_t i = 0; i < rows.count(); ++i) keys[i] = countValue(rows.cell(i, column));
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return ascending ? keys[a] < keys[b] : keys[a] > keys[b]; });
    }
    return order;
}

}  // namespace app
