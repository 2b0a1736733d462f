#pragma once
// The Keyword list as comma-separated text: a header line of the column
// captions, then one line per row; every field quoted (an inner quote
// doubled), every line ending in CR LF, no byte-order mark.

#include <string>
#include <vector>

#include "app/KeywordRow.h"

namespace app {

std::string buildCsv(const std::vector<std::string>& captions, const std::vector<KeywordRow>& rows);

// Streams the same bytes to path in pieces, replacing the file only when the
// whole text is written. Raises ESaveError with the system's reason.
void writeCsv(const std::string& path, const std::vector<std::string>& captions, const std::vector<KeywordRow>& rows);

}  // namespace app
