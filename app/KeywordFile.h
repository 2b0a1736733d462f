#pragma once
// Reading a keyword text file: one keyword per line.

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/Exception.h"

namespace app {

RTL_DECLARE_EXCEPTION(EKeywordFileError, rtl::Exception);
// The file is larger than kMaxKeywordFileBytes.
RTL_DECLARE_EXCEPTION(EKeywordFileTooLarge, EKeywordFileError);

// Largest keyword file read; bigger files are refused rather than exhausting memory.
constexpr size_t kMaxKeywordFileBytes = size_t{1} << 30;

// Calls f(line) for every line of text exactly as written: CR LF, a lone CR
// or a lone LF ends a line; a final line without an end counts; a final line
// end adds no empty line; a NUL ends the text. Nothing is trimmed or skipped.
template <typename F>
void forEachKeywordLine(std::string_view text, F f) {
    const void* nul = std::memchr(text.data(), '\0', text.size());
    if (nul) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;  // a plain scan: find_first_of calls memchr once per byte
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        f(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = end + 1;
    }
}

std::vector<std::string> splitKeywordLines(std::string_view text);

// The file's text in the program's 8-bit character set: a UTF-16 file (LE or
// BE, told by its byte-order mark) is decoded, a UTF-8 byte-order mark is
// dropped, anything else is taken as it is. The text ends at the first NUL.
struct KeywordFileText {
    std::string text;
    bool endsAtNul = false;  // a NUL cut the file short
    size_t lines = 0;        // lines of text
};

// The decoding step of readKeywordFile, for bytes already in memory.
KeywordFileText decodeKeywordFile(std::string bytes);

// Reads and decodes the file. Raises EKeywordFileError when it cannot be read
// (absent, no regular file), EKeywordFileTooLarge when it is too large;
// std::bad_alloc without the memory.
KeywordFileText readKeywordFile(const std::string& path);

}  // namespace app
