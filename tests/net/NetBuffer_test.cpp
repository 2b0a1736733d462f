#include "net/NetBuffer.h"

#include <gtest/gtest.h>

#include "net/NetConnectionErrors.h"
#include "ExpectThrow.h"

using namespace net;
using testsupport::expectThrowWith;

TEST(NetBuffer, ManagedBufferKeepsConsumedPrefixUntilThreshold) {
    TNetManagedBuffer buffer;
    buffer.CompactThreshold = 8;
    int64_t consumedTotal = 0;
    buffer.OnConsumed = [&](TNetSimpleBuffer&, int64_t n) { consumedTotal += n; };
    buffer.Append("0123456789abcdef", 16);
    EXPECT_EQ(buffer.TakeString(3), "012");
    EXPECT_EQ(buffer.ConsumedBytes, 3);
    EXPECT_EQ(buffer.size(), 13);
    EXPECT_EQ(std::string(buffer.Data(), 3), "345");
    // Seeking from the beginning counts from the first unconsumed byte.
    EXPECT_EQ(buffer.seek(2, rtl::SeekOrigin::Beginning), 2);
    char c = 0;
    buffer.read(&c, 1);
    EXPECT_EQ(c, '5');
    buffer.Consume(5);  // reaches the threshold: the rest moves to the front
    EXPECT_EQ(buffer.ConsumedBytes, 0);
    EXPECT_EQ(std::string(buffer.Data(), static_cast<size_t>(buffer.size())), "89abcdef");
    buffer.Append("gh", 2);
    EXPECT_EQ(buffer.TakeString(10), "89abcdefgh");
    EXPECT_EQ(buffer.size(), 0);
    EXPECT_EQ(consumedTotal, 18);

    buffer.Append("xy", 2);
    expectThrowWith<ENetNotEnoughDataInBuffer>([&] { buffer.Consume(3); }, "Not enough data in buffer.");
    EXPECT_THROW(buffer.TakeString(3), ENetNotEnoughDataInBuffer);
    buffer.Clear();  // no callback
    EXPECT_EQ(consumedTotal, 18);
    EXPECT_EQ(buffer.size(), 0);
}

TEST(NetBuffer, SimpleBufferMovesTheRestAtOnceAndReservesWithoutCopy) {
    TNetSimpleBuffer buffer;
    buffer.writeString("hello world");
    buffer.Consume(6);
    EXPECT_EQ(std::string(buffer.Data(), static_cast<size_t>(buffer.size())), "world");
    char* tail = buffer.ReserveTail(100000);  // grows, keeps the data
    tail[0] = '!';
    buffer.CommitTail(1);
    EXPECT_EQ(buffer.TakeString(6), "world!");
    EXPECT_THROW(buffer.CommitTail(1LL << 40), rtl::EWriteError);
    buffer.setSize(4);
    EXPECT_EQ(std::string(buffer.Data(), 4), std::string(4, '\0'));
}
