#pragma once
// Text comparison in the user's locale with case ignored, for sorting.
// GUI thread only (the collator is shared).

#include <QCollatorSortKey>
#include <string>

namespace platform {

// Negative, zero or positive as a sorts before, with or after b.
int compareTextIgnoreCase(const std::string& a, const std::string& b);

// A precomputed key; comparing two keys gives compareTextIgnoreCase's order
// at a fraction of the cost, for sorting many rows.
QCollatorSortKey sortKeyIgnoreCase(const std::string& text);

}  // namespace platform
