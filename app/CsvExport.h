#pragma once
// The Keyword list as comma-separated text, and a write that never leaves a
// half-written or lost file behind.

#include <string>
#include <vector>

#include "app/KeywordRow.h"
#include "rtl/Exception.h"

namespace app {

RTL_DECLARE_EXCEPTION(ESaveError, rtl::Exception);

// Header line of the column captions, then one line per row in the given
// order; every field quoted (an inner quote doubled), lines end in CR LF.
std::string buildCsv(const std::vector<std::string>& captions, const std::vector<KeywordRow>& rows);

// Writes data to a temporary file in path's folder, flushes it and renames
// it over path. On failure the earlier file at path is untouched and
// ESaveError carries the system's reason.
void writeFileReplacing(const std::string& path, const std::string& data);

}  // namespace app
