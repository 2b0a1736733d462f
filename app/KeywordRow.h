#pragma once
// One row of the Keyword list: the row number (caption) and five sub-items
// (keyword, searches, Google, Yahoo, Msn) kept as bytes in one buffer, plus
// the check mark. Compact on purpose: a list may hold millions of rows.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace app {

constexpr int kColumnCount = 6;
enum Column { colNo = 0, colKeyword = 1, colSearches = 2, colGoogle = 3, colYahoo = 4, colMsn = 5 };

class KeywordRow {
public:
    KeywordRow() = default;
    KeywordRow(std::string_view caption, std::string_view keyword, std::string_view searches);

    // Column 0 is the caption; column k >= 1 is sub-item k-1.
    std::string_view cell(int column) const;
    void setCell(int column, std::string_view text);

    bool checked() const { return m_checked; }
    void setChecked(bool checked) { m_checked = checked; }

    // A number unique among the rows of one list, so a job can find its row
    // again after rows before it were deleted.
    uint32_t id() const { return m_id; }
    void setId(uint32_t id) { m_id = id; }

private:
    // m_text holds the six cells back to back; m_end[i] is where cell i ends.
    std::string m_text;
    std::array<uint32_t, kColumnCount> m_end{};
    uint32_t m_id = 0;
    bool m_checked = false;
};

}  // namespace app
