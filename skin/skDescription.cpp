#include "skin/skDescription.h"

#include <charconv>

#include "rtl/StringUtils.h"
#include "skin/skFormat.h"

namespace sk {

namespace {

std::string_view trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// The digits of one part, saturating at kMaxCoordinate.
int digitsOf(std::string_view part) {
    uint32_t v = 0;
    for (char c : part) {
        if (c < '0' || c > '9') continue;
        v = v * 10 + uint32_t(c - '0');
        if (v > kMaxCoordinate) return int(kMaxCoordinate);
    }
    return int(v);
}

template <size_t N>
void parseParts(std::string_view value, int (&out)[N]) {
    size_t i = 0;
    while (i < N) {
        const size_t comma = value.find(',');
        out[i++] = digitsOf(value.substr(0, comma));
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    for (; i < N; ++i) out[i] = 0;
}

}  // namespace

TskPoint parsePoint(std::string_view value) {
    int v[2];
    parseParts(value, v);
    return {v[0], v[1]};
}

TskRect parseRect(std::string_view value) {
    int v[4];
    parseParts(value, v);
    return {v[0], v[1], v[2], v[3]};
}

int parseInteger(std::string_view value, int fallback) {
    value = trimmed(value);
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    int v = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (error != std::errc() || end != value.data() + value.size() || value.empty()) return fallback;
    return v;
}

std::string formatPoint(const TskPoint& p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

std::string formatRect(const TskRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

TskIniFile TskIniFile::parse(std::string_view text) {
    TskIniFile ini;
    Section* current = nullptr;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            const std::string name(trimmed(line.substr(1, line.size() - 2)));
            current = nullptr;
            for (Section& s : ini.m_sections)
                if (rtl::equalsIgnoreCase(s.name, name)) current = &s;
            if (!current) current = &ini.m_sections.emplace_back(Section{name, {}});
            continue;
        }
        const size_t equals = line.find('=');
        if (!current || equals == std::string_view::npos) continue;
        current->keys.push_back({std::string(trimmed(line.substr(0, equals))),
                                 std::string(trimmed(line.substr(equals + 1)))});
    }
    return ini;
}

const TskIniFile::Section* TskIniFile::find(std::string_view section) const {
    for (const Section& s : m_sections)
        if (rtl::equalsIgnoreCase(s.name, section)) return &s;
    return nullptr;
}

const std::string* TskIniFile::findValue(std::string_view section, std::string_view key) const {
    const Section* s = find(section);
    if (!s) return nullptr;
    for (const Key& k : s->keys)
        if (rtl::equalsIgnoreCase(k.name, key)) return &k.value;
    return nullptr;
}

bool TskIniFile::hasSection(std::string_view section) const { return find(section) != nullptr; }

std::string TskIniFile::readString(std::string_view section, std::string_view key, std::string_view fallback) const {
    const std::string* v = findValue(section, key);
    return v ? *v : std::string(fallback);
}

int TskIniFile::readInteger(std::string_view section, std::string_view key, int fallback) const {
    const std::string* v = findValue(section, key);
    return v ? parseInteger(*v, fallback) : fallback;
}

bool TskIniFile::readFlag(std::string_view section, std::string_view key) const {
    return readInteger(section, key, 0) == 1;
}

TskPoint TskIniFile::readPoint(std::string_view section, std::string_view key) const {
    const std::string* v = findValue(section, key);
    return v ? parsePoint(*v) : TskPoint{};
}

TskRect TskIniFile::readRect(std::string_view section, std::string_view key) const {
    const std::string* v = findValue(section, key);
    return v ? parseRect(*v) : TskRect{};
}

void TskIniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = const_cast<Section*>(find(section));
    if (!s) s = &m_sections.emplace_back(Section{std::string(section), {}});
    for (Key& k : s->keys)
        if (rtl::equalsIgnoreCase(k.name, key)) {
            k.value = value;
            return;
        }
    s->keys.push_back({std::string(key), std::string(value)});
}

void TskIniFile::eraseSection(std::string_view section) {
    std::erase_if(m_sections, [&](const Section& s) { return rtl::equalsIgnoreCase(s.name, section); });
}

std::string TskIniFile::text() const {
    std::string out;
    for (const Section& s : m_sections) {
        out += "[" + s.name + "]\r\n";
        for (const Key& k : s.keys) out += k.name + "=" + k.value + "\r\n";
        out += "\r\n";
    }
    return out;
}

}  // namespace sk
