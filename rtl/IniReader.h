#pragma once
// Read-only INI ("profile string") reader. Section and key names match without
// regard to ASCII case, values lose their surrounding blanks and are cut to
// kMaxValueLength bytes; a missing file, section or key reads as "".
// The first occurrence of a section and of a key within it wins.
// Immutable after construction: safe to read from any thread.

#include <string>
#include <unordered_map>

namespace rtl {

class TIniReader {
public:
    static constexpr size_t kMaxValueLength = 2047;
    // Longest file read; the rest is ignored, so a huge file cannot exhaust memory.
    static constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

    TIniReader() = default;
    // Reads the file now; an absent or unreadable file, or anything that is no
    // regular file (a FIFO, a device), gives an empty reader without waiting.
    static TIniReader fromFile(const std::string& path);
    static TIniReader fromText(const std::string& text);

    std::string readString(const std::string& section, const std::string& key) const;

private:
    // Keys are "section\nkey" in lower case.
    std::unordered_map<std::string, std::string> m_values;
};

}  // namespace rtl
