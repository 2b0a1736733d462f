#pragma once
// The Keyword list as comma-separated text: a header line of the column
// captions, then one line per row; every field quoted (an inner quote
// doubled), every line ending in CR LF, no byte-order mark. A field that a
// spreadsheet would run as a formula (beginning with "=", "+", "-", "@", a tab
// or a CR) gets an apostrophe before it, inside the quotes.

#include <string>
#include <vector>

#include "app/KeywordRows.h"

namespace app {

std::string buildCsv(const std::vector<std::string>& captions, const TKeywordRows& rows);

// Streams the same bytes to path in pieces, replacing the file only when the
// whole text is written. Raises ESaveError with the system's reason.
void writeCsv(const std::string& path, const std::vector<std::string>& captions, const TKeywordRows& rows);

}  // namespace app
