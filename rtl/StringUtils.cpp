#include "rtl/StringUtils.h"

#include <cstring>

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

namespace {

// The next position at or after from holding byte c in either ASCII case.
size_t findByteIgnoreCase(std::string_view text, char c, size_t from) {
    const char lower = lowerOf(c), upper = upperOf(c);
    const char* base = text.data();
    const size_t size = text.size();
    if (lower == upper) {
        const void* at = from < size ? std::memchr(base + from, lower, size - from) : nullptr;
        return at ? static_cast<size_t>(static_cast<const char*>(at) - base) : std::string_view::npos;
    }
    const void* a = from < size ? std::memchr(base + from, lower, size - from) : nullptr;
    const size_t limit = a ? static_cast<size_t>(static_cast<const char*>(a) - base) : size;
    const void* b = from < limit ? std::memchr(base + from, upper, limit - from) : nullptr;
    if (b) return static_cast<size_t>(static_cast<const char*>(b) - base);
    return a ? limit : std::string_view::npos;
}

}  // namespace

namespace {

// Horspool's search with both sides folded to lower case: the byte under
// the needle's end decides how far the needle may jump.
size_t horspoolIgnoreCase(std::string_view haystack, std::string_view needle, size_t from) {
    const size_t m = needle.size();
    size_t shift[256];
    for (size_t& s : shift) s = m;
    for (size_t k = 0; k + 1 < m; ++k) {
        const auto c = static_cast<unsigned char>(lowerOf(needle[k]));
        shift[c] = m - 1 - k;
        shift[static_cast<unsigned char>(upperOf(needle[k]))] = m - 1 - k;
    }
    const char lastLower = lowerOf(needle[m - 1]);
    for (size_t i = from; i + m <= haystack.size();) {
        const char last = haystack[i + m - 1];
        if (lowerOf(last) == lastLower) {
            size_t k = 0;
            while (k + 1 < m && lowerOf(haystack[i + k]) == lowerOf(needle[k])) ++k;
            if (k + 1 == m) return i;
        }
        i += shift[static_cast<unsigned char>(last)];
    }
    return std::string_view::npos;
}

}  // namespace

namespace {

// How common a byte is in web pages, roughly: lower is rarer. Letters count
// double, since both cases must be scanned for.
int commonness(char c) {
    static const char kLettersByFrequency[] = "zqjxkvbpygfwmucldrhsnioate";
    if (c == ' ') return 100;
    if (c == '<' || c == '>' || c == '"' || c == '=' || c == '/') return 60;
    const char lower = lowerOf(c);
    if (lower >= 'a' && lower <= 'z') return 20 + 2 * static_cast<int>(std::strchr(kLettersByFrequency, lower) - kLettersByFrequency);
    return 10;
}

}  // namespace

// Long needles jump with Horspool's rule; short ones scan with memchr for
// their least common byte.
size_t findIgnoreCase(std::string_view haystack, std::string_view needle, size_t from) {
    if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
    if (needle.size() > haystack.size() || from > haystack.size() - needle.size()) return std::string_view::npos;
    if (needle.size() >= 8) return horspoolIgnoreCase(haystack, needle, from);
    size_t anchor = 0;
    for (size_t k = 1; k < needle.size(); ++k)
        if (commonness(needle[k]) < commonness(needle[anchor])) anchor = k;
    const size_t last = haystack.size() - needle.size();
    for (size_t at = findByteIgnoreCase(haystack, needle[anchor], from + anchor); at != std::string_view::npos;
         at = findByteIgnoreCase(haystack, needle[anchor], at + 1)) {
        const size_t i = at - anchor;
        if (i > last) break;
        size_t k = 0;
        while (k < needle.size() && lowerOf(haystack[i + k]) == lowerOf(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

}  // namespace rtl
