#include "app/KeywordFile.h"

#include <QString>
#include <cerrno>

#include "rtl/RegularFile.h"

namespace app {

std::vector<std::string> splitKeywordLines(std::string_view text) {
    std::vector<std::string> lines;
    forEachKeywordLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

namespace {

bool startsWith(const std::string& bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::string_view(bytes).substr(0, prefix.size()) == prefix;
}

// UTF-16 bytes after the mark, in the locale's character set; an odd last byte is dropped.
std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]), second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    const QString text = QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
    std::u16string().swap(units);
    return text.toLocal8Bit().toStdString();
}

}  // namespace

KeywordFileText decodeKeywordFile(std::string bytes) {
    KeywordFileText file;
    if (startsWith(bytes, "\xFF\xFE"))
        file.text = fromUtf16(std::string_view(bytes).substr(2), false);
    else if (startsWith(bytes, "\xFE\xFF"))
        file.text = fromUtf16(std::string_view(bytes).substr(2), true);
    else if (startsWith(bytes, "\xEF\xBB\xBF"))
        file.text = std::move(bytes.erase(0, 3));
    else
        file.text = std::move(bytes);
    const size_t nul = file.text.find('\0');
    if (nul != std::string::npos) {
        file.text.resize(nul);
        file.endsAtNul = true;
    }
    forEachKeywordLine(file.text, [&](std::string_view) { ++file.lines; });
    return file;
}

KeywordFileText readKeywordFile(const std::string& path) {
    rtl::TRegularFile file(path);
    if (!file.isOpen())
        throw EKeywordFileError(rtl::format("Cannot open file \"%s\". %s", path.c_str(),
                                            file.error() == ENODEV ? "It is not a regular file" : std::strerror(file.error())));
    if (static_cast<uint64_t>(file.size()) > kMaxKeywordFileBytes)
        throw EKeywordFileTooLarge(rtl::format("The keyword file \"%s\" is too large", path.c_str()));
    try {
        return decodeKeywordFile(file.readUpTo(kMaxKeywordFileBytes));
    } catch (const rtl::EReadError& e) {
        throw EKeywordFileError(e.message());
    }
}

}  // namespace app
