#include "net/NetBuffer.h"

#include <algorithm>
#include <cstring>

#include "net/NetConnectionErrors.h"

namespace net {

void TNetSimpleBuffer::moveToFront(int64_t from) {
    const int64_t rest = m_size - from;
    if (rest > 0 && from > 0) std::memmove(m_memory.get(), m_memory.get() + from, static_cast<size_t>(rest));
    m_size = rest;
    m_position = std::max<int64_t>(0, m_position - from);
}

void TNetSimpleBuffer::Consume(int64_t n) {
    if (n < 0 || n > size()) throw ENetNotEnoughDataInBuffer(text::kNotEnoughData);
    moveToFront(n);
    if (OnConsumed) OnConsumed(*this, n);
}

std::string TNetSimpleBuffer::TakeString(int64_t n) {
    if (n < 0 || n > size()) throw ENetNotEnoughDataInBuffer(text::kNotEnoughData);
    std::string result(Data(), static_cast<size_t>(n));
    Consume(n);
    return result;
}

void TNetSimpleBuffer::Clear() {
    m_size = 0;
    m_position = 0;
}

void TNetSimpleBuffer::Append(const void* data, int64_t count) {
    if (count <= 0) return;
    std::memcpy(ReserveTail(count), data, static_cast<size_t>(count));
    CommitTail(count);
}

char* TNetSimpleBuffer::ReserveTail(int64_t count) {
    if (count < 0 || m_size > INT64_MAX - count) throw rtl::EWriteError("Stream write error");
    reserveFor(m_size + count);
    return m_memory.get() + m_size;
}

void TNetSimpleBuffer::CommitTail(int64_t count) {
    if (count < 0 || m_size + count > m_capacity) throw rtl::EWriteError("Stream write error");
    m_size += count;
}

// --- TNetManagedBuffer ---

int64_t TNetManagedBuffer::seek(int64_t offset, rtl::SeekOrigin origin) {
    if (origin == rtl::SeekOrigin::Beginning) offset += ConsumedBytes;
    const int64_t position = TNetSimpleBuffer::seek(offset, origin);
    if (position < ConsumedBytes) {
        m_position = ConsumedBytes;
        throw rtl::EStreamError("Invalid stream position");
    }
    return position - ConsumedBytes;
}

void TNetManagedBuffer::Consume(int64_t n) {
    if (n < 0 || n > size()) throw ENetNotEnoughDataInBuffer(text::kNotEnoughData);
    if (n == size()) {
        m_size = 0;
        m_position = 0;
        ConsumedBytes = 0;
    } else {
        ConsumedBytes += n;
        if (ConsumedBytes >= CompactThreshold) {
            moveToFront(ConsumedBytes);
            ConsumedBytes = 0;
        }
    }
    if (OnConsumed) OnConsumed(*this, n);
}

void TNetManagedBuffer::Clear() {
    TNetSimpleBuffer::Clear();
    ConsumedBytes = 0;
}

}  // namespace net
