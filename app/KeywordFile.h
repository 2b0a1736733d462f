#pragma once
// Reading a keyword text file: one keyword per line.

#include <string>
#include <string_view>
#include <vector>

#include "rtl/Exception.h"

namespace app {

RTL_DECLARE_EXCEPTION(EKeywordFileError, rtl::Exception);

// Largest keyword file read; bigger files are refused rather than exhausting memory.
constexpr size_t kMaxKeywordFileBytes = size_t{1} << 30;

// Splits text into lines exactly as written: CR LF, a lone CR or a lone LF
// ends a line; a final line without an end counts; a final line end adds no
// empty line; a NUL ends the text. Nothing is trimmed or skipped.
std::vector<std::string> splitKeywordLines(std::string_view text);

// Reads and splits the file. Raises EKeywordFileError when it cannot be read.
std::vector<std::string> readKeywordFile(const std::string& path);

}  // namespace app
