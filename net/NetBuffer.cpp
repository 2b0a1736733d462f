#include "net/NetBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "net/NetConnectionErrors.h"

namespace net {

void TNetSimpleBuffer::ensureCapacity(int64_t needed) {
    if (needed <= m_capacity) return;
    int64_t capacity = std::max<int64_t>(m_capacity * 2, 8192);
    if (capacity < needed) capacity = needed;
    std::unique_ptr<char[]> memory(new (std::nothrow) char[static_cast<size_t>(capacity)]);
    if (!memory) throw rtl::EOutOfMemory("Out of memory while expanding buffer");
    if (m_stored > 0) std::memcpy(memory.get(), m_memory.get(), static_cast<size_t>(m_stored));
    m_memory = std::move(memory);
    m_capacity = capacity;
}

void TNetSimpleBuffer::moveToFront(int64_t from) {
    const int64_t rest = m_stored - from;
    if (rest > 0 && from > 0) std::memmove(m_memory.get(), m_memory.get() + from, static_cast<size_t>(rest));
    m_stored = rest;
    m_position = std::max<int64_t>(0, m_position - from);
}

int64_t TNetSimpleBuffer::read(void* buffer, int64_t count) {
    if (count <= 0 || m_position >= m_stored) return 0;
    const int64_t n = std::min(count, m_stored - m_position);
    std::memcpy(buffer, m_memory.get() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int64_t TNetSimpleBuffer::write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (m_position > INT64_MAX - count) throw rtl::EWriteError("Stream write error");
    const int64_t end = m_position + count;
    ensureCapacity(end);
    if (m_position > m_stored) std::memset(m_memory.get() + m_stored, 0, static_cast<size_t>(m_position - m_stored));
    std::memcpy(m_memory.get() + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
    m_stored = std::max(m_stored, end);
    return count;
}

int64_t TNetSimpleBuffer::seek(int64_t offset, rtl::SeekOrigin origin) {
    int64_t base = 0;
    if (origin == rtl::SeekOrigin::Current) base = m_position;
    if (origin == rtl::SeekOrigin::End) base = m_stored;
    if (base + offset < 0) throw rtl::EStreamError("Invalid stream position");
    m_position = base + offset;
    return m_position;
}

void TNetSimpleBuffer::setSize(int64_t newSize) {
    if (newSize < 0) throw rtl::EStreamError("Invalid stream size");
    ensureCapacity(newSize);
    if (newSize > m_stored) std::memset(m_memory.get() + m_stored, 0, static_cast<size_t>(newSize - m_stored));
    m_stored = newSize;
    m_position = std::min(m_position, m_stored);
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
    m_stored = 0;
    m_position = 0;
}

void TNetSimpleBuffer::Append(const void* data, int64_t count) {
    if (count <= 0) return;
    std::memcpy(ReserveTail(count), data, static_cast<size_t>(count));
    CommitTail(count);
}

char* TNetSimpleBuffer::ReserveTail(int64_t count) {
    if (count < 0 || m_stored > INT64_MAX - count) throw rtl::EWriteError("Stream write error");
    ensureCapacity(m_stored + count);
    return m_memory.get() + m_stored;
}

void TNetSimpleBuffer::CommitTail(int64_t count) {
    if (count < 0 || m_stored + count > m_capacity) throw rtl::EWriteError("Stream write error");
    m_stored += count;
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
        m_stored = 0;
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
