#include "crashreport/LogSplitter.h"

#include "crashreport/LogFormat.h"

namespace crashreport {

namespace {

// Calls visit(piece) for every non-empty piece between separators, in order.
template <class Visit>
void forEachPiece(std::string_view text, bool readFromMiddle, Visit visit) {
    size_t start = 0;
    bool skipFirst = readFromMiddle;
    size_t lineStart = 0;
    auto emit = [&](std::string_view piece) {
        if (!skipFirst && !piece.empty()) visit(piece);
        skipFirst = false;
    };
    while (lineStart < text.size()) {
        if (text.compare(lineStart, kLogSeparator.size(), kLogSeparator) == 0) {
            emit(text.substr(start, lineStart - start));
            start = lineStart + kLogSeparator.size();
            lineStart = start;
            continue;
        }
        const size_t newline = text.find('\n', lineStart);
        if (newline == std::string_view::npos) break;
        lineStart = newline + 1;
    }
    emit(text.substr(start));
}

}  // namespace

void splitLog(std::string_view text, bool readFromMiddle, TLogEntries& entries) {
    size_t total = 0;
    forEachPiece(text, readFromMiddle, [&](std::string_view) { ++total; });
    entries.count = 0;
    entries.dropped = total > TLogEntries::kCapacity ? total - TLogEntries::kCapacity : 0;
    size_t index = 0;
    forEachPiece(text, readFromMiddle, [&](std::string_view piece) {
        if (index++ >= entries.dropped) entries.items[entries.count++] = piece;
    });
}

}  // namespace crashreport
