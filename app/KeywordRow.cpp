#include "app/KeywordRow.h"

#include "app/RowEncoding.h"

namespace app {

std::string_view KeywordRowView::cell(int column) const { return storedCell(m_stored, column); }

}  // namespace app
