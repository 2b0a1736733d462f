#pragma once
// Ordering of Keyword rows when a column header is clicked.

#include <string_view>
#include <vector>

#include "app/KeywordRow.h"
#include "app/KeywordRows.h"

namespace app {

// The value a count text sorts by: "," removed, then a 32-bit signed decimal
// with optional leading blanks and sign; anything else (empty, words,
// trailing characters, out of range) counts as 0.
int32_t countValue(std::string_view text);

// -1, 0 or +1 comparing two count texts by countValue.
int CompareCounts(std::string_view x, std::string_view y);

// Negative, zero or positive: column 0 and columns >= 2 compare as counts,
// column 1 (the keyword) as text in the user's locale with case ignored.
// Negated when ascending is false.
int CompareRows(const KeywordRowView& a, const KeywordRowView& b, int column, bool ascending);

// Reorders rows into CompareRows order (equal rows keep their order). Keys
// are computed once per row, so the cost is O(n log n) comparisons of
// integers or collation keys.
void sortKeywordRows(TKeywordRows& rows, int column, bool ascending);
// The order sortKeywordRows gives, for TKeywordRows::permute; empty when
// there is nothing to reorder. May raise std::bad_alloc; rows stay unchanged.
std::vector<uint32_t> sortedOrder(const TKeywordRows& rows, int column, bool ascending);

}  // namespace app
