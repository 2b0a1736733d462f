#include "rtl/IniReader.h"

#include "rtl/RegularFile.h"
#include "rtl/StringUtils.h"

namespace rtl {

TIniReader TIniReader::fromFile(const std::string& path) {
    return fromText(readRegularFileOrEmpty(path, kMaxFileBytes));
}

TIniReader TIniReader::fromText(const std::string& text) {
    TIniReader reader;
    std::string section;
    bool inSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            section = asciiLower(trimBlanks(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            inSection = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos) continue;
        const std::string key = asciiLower(trimBlanks(line.substr(0, eq)));
        std::string value = trimBlanks(line.substr(eq + 1));
        if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
        reader.m_values.emplace(section + '\n' + key, std::move(value));
    }
    return reader;
}

std::string TIniReader::readString(const std::string& section, const std::string& key) const {
    const auto it = m_values.find(asciiLower(section) + '\n' + asciiLower(key));
    return it == m_values.end() ? std::string() : it->second;
}

}  // namespace rtl
