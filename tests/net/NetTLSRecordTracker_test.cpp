#include "net/NetTLSRecordTracker.h"

#include <gtest/gtest.h>

#include <string>

using net::TNetTLSRecordTracker;

namespace {

std::string record(size_t length) {
    std::string r = {'\x17', '\x03', '\x03', static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
    return r + std::string(length, 'x');
}

void feed(TNetTLSRecordTracker& tracker, const std::string& bytes) {
    tracker.Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(NetTLSRecordTracker, PlacesTheEndBetweenOrInsideRecordsWhateverThePieces) {
    const std::string stream = record(300) + record(0) + record(65535) + record(1);
    // Byte by byte, and in one piece: the same verdict at every length.
    for (size_t cut : {size_t(0), size_t(3), size_t(5), size_t(304), size_t(305), size_t(310), size_t(65849), size_t(65850),
                       stream.size() - 1, stream.size()}) {
        TNetTLSRecordTracker whole, bytewise;
        feed(whole, stream.substr(0, cut));
        for (size_t i = 0; i < cut; ++i) feed(bytewise, stream.substr(i, 1));
        const bool boundary = cut == 0 || cut == 305 || cut == 310 || cut == 65850 || cut == stream.size();
        EXPECT_EQ(whole.AtBoundary(), boundary) << cut;
        EXPECT_EQ(bytewise.AtBoundary(), boundary) << cut;
        EXPECT_EQ(whole.Records(), bytewise.Records()) << cut;
    }
    TNetTLSRecordTracker all;
    feed(all, stream);
    EXPECT_EQ(all.Records(), 4u);
    all.Reset();
    EXPECT_TRUE(all.AtBoundary());
    EXPECT_EQ(all.Records(), 0u);
}
