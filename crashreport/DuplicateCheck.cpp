#include "crashreport/DuplicateCheck.h"

namespace crashreport {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool parseHex(std::string_view s, uint64_t& value) {
    if (s.empty() || s.size() > 16) return false;
    value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

// Calls visit(line) for each line of text without its line end, until visit returns true.
template <class Visit>
void forEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        if (visit(line)) return;
        if (end == std::string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

// The value of "2.<field> label: value".
bool takeField(std::string_view line, char field, std::string_view& value) {
    if (line.size() < 4 || line[0] != '2' || line[1] != '.' || line[2] != field || line[3] != ' ') return false;
    const size_t colon = line.find(": ");
    value = colon == std::string_view::npos ? std::string_view() : trimmed(line.substr(colon + 2));
    return true;
}

}  // namespace

TExceptionFields exceptionFieldsOf(std::string_view entry, std::string_view modulesTitle) {
    TExceptionFields f;
    forEachLine(entry, [&](std::string_view line) {
        takeField(line, '2', f.address) || takeField(line, '3', f.module) || takeField(line, '4', f.type) ||
            takeField(line, '5', f.message);
        return false;
    });
    uint64_t address = 0;
    if (f.module.empty() || !parseHex(f.address, address)) return f;
    // A Modules row: "|handle|name|..."
    bool inModules = false;
    forEachLine(entry, [&](std::string_view line) {
        if (line == modulesTitle) inModules = true;
        if (!inModules || line.size() < 3 || line[0] != '|') return false;
        const size_t second = line.find('|', 1);
        if (second == std::string_view::npos) return false;
        const size_t third = line.find('|', second + 1);
        if (third == std::string_view::npos) return false;
        uint64_t handle = 0;
        if (!parseHex(line.substr(1, second - 1), handle)) return false;
        if (trimmed(line.substr(second + 1, third - second - 1)) != f.module || handle > address) return false;
        f.moduleOffset = address - handle;
        f.hasOffset = true;
        return true;
    });
    return f;
}

bool sameError(const TExceptionFields& a, const TExceptionFields& b) {
    if (a.module != b.module || a.type != b.type || a.message != b.message) return false;
    if (a.hasOffset && b.hasOffset) return a.moduleOffset == b.moduleOffset;
    return a.address == b.address;
}

}  // namespace crashreport
