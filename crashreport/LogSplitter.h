#pragma once
// Splits log text into entries. No allocation: the entries are views into the
// text, reported in order; empty pieces are skipped. O(n).

#include <cstddef>
#include <string_view>

namespace crashreport {

struct TLogEntries {
    static constexpr size_t kCapacity = 4096;
    std::string_view items[kCapacity];
    size_t count = 0;
    // Pieces dropped because more than kCapacity were found (the oldest go).
    size_t dropped = 0;
};

// Fills entries with the pieces of text; when more than kCapacity are found,
// the newest kCapacity are kept. A text that was cut at its start (readFromMiddle)
// loses its first piece, which is only the end of an entry.
void splitLog(std::string_view text, bool readFromMiddle, TLogEntries& entries);

}  // namespace crashreport
