// The keyword file reader: decoding (byte-order marks, UTF-16) and the line rules.
// Lines never hold a line end or a NUL, and splitting agrees with the line count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/KeywordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto file = app::decodeKeywordFile(std::string(reinterpret_cast<const char*>(data), size));
    if (file.text.find('\0') != std::string::npos) __builtin_trap();
    size_t count = 0, bytes = 0;
    app::forEachKeywordLine(file.text, [&](std::string_view line) {
        if (line.find_first_of("\r\n") != std::string_view::npos) __builtin_trap();
        ++count;
        bytes += line.size();
    });
    if (count != file.lines || bytes > file.text.size()) __builtin_trap();
    if (app::splitKeywordLines(file.text).size() != count) __builtin_trap();
    return 0;
}
