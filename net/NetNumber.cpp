#include "net/NetNumber.h"

namespace net {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

bool ReadInteger(std::string_view text, int64_t minValue, int64_t maxValue, int64_t& out) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    // Accumulate as a negative number so INT64_MIN fits; stop before overflow.
    constexpr int64_t kFloor = INT64_MIN;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const int digit = c - '0';
        if (value < (kFloor + digit) / 10) return false;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kFloor) return false;
        value = -value;
    }
    if (value < minValue || value > maxValue) return false;
    out = value;
    return true;
}

}  // namespace net
