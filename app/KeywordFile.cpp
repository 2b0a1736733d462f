#include "app/KeywordFile.h"

#include <cerrno>
#include <cstring>

#include "rtl/Stream.h"

namespace app {

std::vector<std::string> splitKeywordLines(std::string_view text) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        lines.emplace_back(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> readKeywordFile(const std::string& path) {
    try {
        rtl::TFileStream file(path, rtl::FileMode::OpenRead);
        const int64_t size = file.size();
        if (size < 0 || static_cast<uint64_t>(size) > kMaxKeywordFileBytes)
            throw EKeywordFileError(rtl::format("The keyword file \"%s\" is too large", path.c_str()));
        std::string text(static_cast<size_t>(size), '\0');
        int64_t got = 0;
        while (got < size) {
            const int64_t n = file.read(text.data() + got, size - got);
            if (n <= 0) break;  // the file shrank while being read
            got += n;
        }
        text.resize(static_cast<size_t>(got));
        return splitKeywordLines(text);
    } catch (const rtl::EStreamError& e) {
        throw EKeywordFileError(e.message());
    }
}

}  // namespace app
