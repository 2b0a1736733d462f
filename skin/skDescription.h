#pragma once
// The skin description: INI-style text of sections and keys, and the value
// forms it uses (points, rectangles, flags, numbers, colours, picture indexes).
// Names of sections and keys match without regard to case; the first key of
// a name in a section wins. Not thread-safe; one owner at a time.

#include <string>
#include <string_view>
#include <vector>

namespace sk {

struct TskPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TskPoint&) const = default;
};

// Left, top, right, bottom in bitmap pixels.
struct TskRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const TskRect&) const = default;
};

class TskIniFile {
public:
    // Parses the text: lines trimmed, ";" comments and empty lines skipped,
    // "[name]" opens a section, "key = value" split at the first "=".
    static TskIniFile parse(std::string_view text);

    bool hasSection(std::string_view section) const;
    // The value, or fallback when the section or key is missing.
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
    int readInteger(std::string_view section, std::string_view key, int fallback) const;
    bool readFlag(std::string_view section, std::string_view key) const;
    TskPoint readPoint(std::string_view section, std::string_view key) const;
    TskRect readRect(std::string_view section, std::string_view key) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void eraseSection(std::string_view section);
    std::string text() const;

private:
    struct Key {
        std::string name, value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    const Section* find(std::string_view section) const;
    const std::string* findValue(std::string_view section, std::string_view key) const;
    std::vector<Section> m_sections;
};

// Value forms, exposed for tests and the writer.
// Only the decimal digits of each comma-separated part count; a part larger
// than kMaxCoordinate reads as kMaxCoordinate; missing parts are 0.
TskPoint parsePoint(std::string_view value);
TskRect parseRect(std::string_view value);
// A decimal integer with optional sign; anything else (or overflow of int) gives fallback.
int parseInteger(std::string_view value, int fallback);
std::string formatPoint(const TskPoint& p);
std::string formatRect(const TskRect& r);

}  // namespace sk
