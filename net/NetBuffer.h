#pragma once
// Byte buffers of the connection. TNetSimpleBuffer is a memory stream that
// hands its bytes out from the front (Consume, TakeString) and reports each
// consumption; TNetManagedBuffer keeps consumed bytes as a prefix until
// CompactThreshold of them have piled up, so many small reads do not move
// the rest each time. A receive writes straight into the spare room at the
// end (ReserveTail / CommitTail).
// Thread-safety: one thread at a time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rtl/Stream.h"

namespace net {

class TNetSimpleBuffer : public rtl::TMemoryStream {
public:
    using TConsumedEvent = std::function<void(TNetSimpleBuffer& sender, int64_t count)>;

    // The first unconsumed byte; valid until the next change of the buffer.
    virtual char* Data() { return m_memory.get(); }
    // Removes n bytes from the front, then fires OnConsumed(n).
    // Raises ENetNotEnoughDataInBuffer when fewer are held.
    virtual void Consume(int64_t n);
    // The first n bytes as a string, then Consume(n).
    virtual std::string TakeString(int64_t n);
    // Empties the buffer without firing OnConsumed.
    virtual void Clear();
    // Appends count bytes at the end, leaving the position alone.
    void Append(const void* data, int64_t count);
    // Room for count more bytes at the end; CommitTail(n) makes n of them part of the data.
    char* ReserveTail(int64_t count);
    void CommitTail(int64_t count);

    TConsumedEvent OnConsumed;

protected:
    // Moves [from, size) to the front.
    void moveToFront(int64_t from);
};

class TNetManagedBuffer : public TNetSimpleBuffer {
public:
    int64_t ConsumedBytes = 0;
    int64_t CompactThreshold = 32768;

    int64_t size() override { return m_size - ConsumedBytes; }
    int64_t seek(int64_t offset, rtl::SeekOrigin origin) override;
    char* Data() override { return m_memory.get() + ConsumedBytes; }
    void Consume(int64_t n) override;
    void Clear() override;
};

}  // namespace net
