#include "rtl/StringUtils.h"

namespace rtl {

namespace {
inline char lowerOf(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char upperOf(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
}  // namespace

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerOf(c);
    return out;
}

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperOf(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerOf(a[i]) != lowerOf(b[i])) return false;
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string trimBlanks(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    return std::string(text.substr(first, last - first));
}

std::string trimControls(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return std::string(text.substr(first, last - first));
}

size_t findIgnoreCase(std::string_view haystack, std::string_view needle, size_t from) {
    if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
    if (needle.size() > haystack.size()) return std::string_view::npos;
    const char first = lowerOf(needle[0]);
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        if (lowerOf(haystack[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && lowerOf(haystack[i + k]) == lowerOf(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

}  // namespace rtl
