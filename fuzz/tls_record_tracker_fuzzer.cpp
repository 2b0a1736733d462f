// The TLS record tracker fed a byte stream in arbitrary pieces must agree
// with a plain walk over the whole stream: same record count, same verdict
// on whether the stream ends between records.
#include <cstddef>
#include <algorithm>
#include <cstdint>

#include "net/NetTLSRecordTracker.h"

namespace {

struct Walk {
    uint64_t records = 0;
    bool atBoundary = true;
};

Walk plainWalk(const uint8_t* data, size_t size) {
    Walk walk;
    size_t at = 0;
    while (at < size) {
        if (size - at < 5) return {walk.records, false};
        const size_t length = (static_cast<size_t>(data[at + 3]) << 8) | data[at + 4];
        if (size - at - 5 < length) return {walk.records, false};
        at += 5 + length;
        ++walk.records;
    }
    return walk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the piece sizes the stream arrives in.
    const unsigned step = data[0] % 23 + 1;
    const uint8_t* stream = data + 1;
    const size_t length = size - 1;
    net::TNetTLSRecordTracker tracker;
    size_t at = 0;
    for (unsigned i = 0; at < length; ++i) {
        const size_t piece = std::min<size_t>(length - at, (step * (i + 1)) % 37 + 1);
        tracker.Feed(stream + at, piece);
        at += piece;
    }
    const Walk expected = plainWalk(stream, length);
    if (tracker.Records() != expected.records || tracker.AtBoundary() != expected.atBoundary) __builtin_trap();
    return 0;
}
