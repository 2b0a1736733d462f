#include "app/KeywordRow.h"

#include <stdexcept>

namespace app {

KeywordRow::KeywordRow(std::string_view caption, std::string_view keyword, std::string_view searches) {
    m_text.reserve(caption.size() + keyword.size() + searches.size());
    m_text.append(caption);
    m_end[0] = static_cast<uint32_t>(m_text.size());
    m_text.append(keyword);
    m_end[1] = static_cast<uint32_t>(m_text.size());
    m_text.append(searches);
    for (int i = 2; i < kColumnCount; ++i) m_end[i] = static_cast<uint32_t>(m_text.size());
}

std::string_view KeywordRow::cell(int column) const {
    if (column < 0 || column >= kColumnCount) return {};
    const uint32_t begin = column == 0 ? 0 : m_end[column - 1];
    return std::string_view(m_text).substr(begin, m_end[column] - begin);
}

void KeywordRow::setCell(int column, std::string_view text) {
    if (column < 0 || column >= kColumnCount) return;
    const uint32_t begin = column == 0 ? 0 : m_end[column - 1];
    const uint32_t oldLength = m_end[column] - begin;
    if (m_text.size() - oldLength + text.size() > UINT32_MAX) throw std::length_error("Keyword row too long");
    m_text.replace(begin, oldLength, text);
    const int64_t delta = static_cast<int64_t>(text.size()) - oldLength;
    for (int i = column; i < kColumnCount; ++i) m_end[i] = static_cast<uint32_t>(m_end[i] + delta);
}

}  // namespace app
