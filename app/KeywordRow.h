#pragma once
// One row of the Keyword list as it is stored: the row number (caption) and
// five sub-items (keyword, searches, Google, Yahoo, Msn), plus the check mark
// and the row's id. A view into the list's storage: it stays valid until the
// list next changes.

#include <cstdint>
#include <string_view>

#include "app/RowEncoding.h"

namespace app {

constexpr int kColumnCount = 6;
enum Column { colNo = 0, colKeyword = 1, colSearches = 2, colGoogle = 3, colYahoo = 4, colMsn = 5 };

class KeywordRowView {
public:
    KeywordRowView(const char* stored, uint32_t id, bool checked) : m_stored(stored), m_id(id), m_checked(checked) {}

    // Column 0 is the caption; column k >= 1 is sub-item k-1; "" out of range.
    std::string_view cell(int column) const;
    // All six cells at once (cheaper than six cell() calls).
    RowCells cells() const { return storedCells(m_stored); }
    bool checked() const { return m_checked; }
    // A number unique among the rows of one list, so a job can find its row
    // again after rows before it were deleted or the list was sorted.
    uint32_t id() const { return m_id; }

private:
    const char* m_stored;  // the cell lengths, then the cell bytes back to back
    uint32_t m_id;
    bool m_checked;
};

}  // namespace app
