#include "rtl/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <new>
#include <vector>
#include <unistd.h>

#include "rtl/Exception.h"

namespace rtl {

namespace {

int64_t resolveSeek(int64_t offset, SeekOrigin origin, int64_t current, int64_t size) {
    int64_t base = 0;
    switch (origin) {
        case SeekOrigin::Beginning: base = 0; break;
        case SeekOrigin::Current: base = current; break;
        case SeekOrigin::End: base = size; break;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        throw EStreamError("Invalid stream position");
    return base + offset;
}

}  // namespace

int64_t TStream::size() {
    const int64_t here = seek(0, SeekOrigin::Current);
    const int64_t end = seek(0, SeekOrigin::End);
    seek(here, SeekOrigin::Beginning);
    return end;
}

void TStream::readBuffer(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    while (count > 0) {
        const int64_t got = read(out, count);
        if (got <= 0) throw EReadError("Stream read error");
        out += got;
        count -= got;
    }
}

void TStream::writeBuffer(const void* buffer, int64_t count) {
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const int64_t put = write(in, count);
        if (put <= 0) throw EWriteError("Stream write error");
        in += put;
        count -= put;
    }
}

int64_t TStream::copyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.setPosition(0);
        count = source.size();
    }
    constexpr int64_t kChunk = 64 * 1024;
    std::vector<char> chunk(static_cast<size_t>(std::min(count, kChunk)));
    int64_t copied = 0;
    while (copied < count) {
        const int64_t n = std::min(kChunk, count - copied);
        source.readBuffer(chunk.data(), n);
        writeBuffer(chunk.data(), n);
        copied += n;
    }
    return copied;
}

// --- TMemoryStream ---

void TMemoryStream::reserveFor(int64_t needed) {
    if (needed <= m_capacity) return;
    int64_t capacity = std::max<int64_t>(m_capacity * 2, 8192);
    if (capacity < needed) capacity = needed;
    std::unique_ptr<char[]> memory(new (std::nothrow) char[static_cast<size_t>(capacity)]);
    if (!memory) throw EOutOfMemory("Out of memory while expanding memory stream");
    if (m_size > 0) std::memcpy(memory.get(), m_memory.get(), static_cast<size_t>(m_size));
    m_memory = std::move(memory);
    m_capacity = capacity;
}

int64_t TMemoryStream::read(void* buffer, int64_t count) {
    if (count <= 0 || m_position >= m_size) return 0;
    const int64_t n = std::min(count, m_size - m_position);
    std::memcpy(buffer, m_memory.get() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int64_t TMemoryStream::write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (m_position > INT64_MAX - count) throw EWriteError("Stream write error");
    const int64_t end = m_position + count;
    reserveFor(end);
    if (m_position > m_size) std::memset(m_memory.get() + m_size, 0, static_cast<size_t>(m_position - m_size));
    std::memcpy(m_memory.get() + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
    m_size = std::max(m_size, end);
    return count;
}

int64_t TMemoryStream::seek(int64_t offset, SeekOrigin origin) {
    m_position = resolveSeek(offset, origin, m_position, m_size);
    return m_position;
}

void TMemoryStream::setSize(int64_t newSize) {
    if (newSize < 0) throw EStreamError("Invalid stream size");
    reserveFor(newSize);
    if (newSize > m_size) std::memset(m_memory.get() + m_size, 0, static_cast<size_t>(newSize - m_size));
    m_size = newSize;
    m_position = std::min(m_position, m_size);
}

void TMemoryStream::clear() {
    m_memory.reset();
    m_capacity = 0;
    m_size = 0;
    m_position = 0;
}

void TMemoryStream::loadFromFile(const std::string& path) {
    TFileStream file(path, FileMode::OpenRead);
    const int64_t n = file.size();
    setSize(n);
    m_position = 0;
    if (n > 0) file.readBuffer(m_memory.get(), n);
}

void TMemoryStream::saveToFile(const std::string& path) {
    TFileStream file(path, FileMode::Create);
    if (m_size > 0) file.writeBuffer(m_memory.get(), m_size);
}

// --- TFileStream ---

TFileStream::TFileStream(const std::string& path, FileMode mode) : m_path(path) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case FileMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case FileMode::OpenRead: flags |= O_RDONLY; break;
        case FileMode::OpenWrite: flags |= O_WRONLY; break;
        case FileMode::OpenReadWrite: flags |= O_RDWR; break;
        case FileMode::OpenOrCreate: flags |= O_RDWR | O_CREAT; break;
        case FileMode::OpenOrCreatePlainFile: flags |= O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY; break;
    }
    do {
        m_fd = ::open(path.c_str(), flags, 0666);
    } while (m_fd < 0 && errno == EINTR);
    bool notRegular = false, linked = false;
    if (m_fd >= 0 && mode == FileMode::OpenOrCreatePlainFile) {
        struct stat st {};
        notRegular = ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode);
        // A second name for the file (a hard link) may be a file of the user's.
        linked = !notRegular && st.st_nlink > 1;
        if (notRegular || linked) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    if (m_fd < 0) {
        const char* reason = notRegular ? "It is not a regular file"
                             : linked   ? "It has other names (hard links)"
                                        : std::strerror(errno);
        if (mode == FileMode::Create || mode == FileMode::OpenOrCreate || mode == FileMode::OpenOrCreatePlainFile)
            throw EFCreateError(format("Cannot create file \"%s\". %s", path.c_str(), reason));
        throw EFOpenError(format("Cannot open file \"%s\". %s", path.c_str(), reason));
    }
}

TFileStream::~TFileStream() {
    if (m_fd >= 0) ::close(m_fd);
}

int64_t TFileStream::read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(count));
        if (n >= 0) return n;
        if (errno != EINTR) throw EReadError(format("Stream read error: %s", std::strerror(errno)));
    }
}

int64_t TFileStream::write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    for (;;) {
        const ssize_t n = ::write(m_fd, buffer, static_cast<size_t>(count));
        if (n >= 0) return n;
        if (errno != EINTR) throw EWriteError(format("Stream write error: %s", std::strerror(errno)));
    }
}

int64_t TFileStream::seek(int64_t offset, SeekOrigin origin) {
    int whence = SEEK_SET;
    if (origin == SeekOrigin::Current) whence = SEEK_CUR;
    if (origin == SeekOrigin::End) whence = SEEK_END;
    const off_t pos = ::lseek(m_fd, offset, whence);
    if (pos < 0) throw EStreamError(format("Seek error: %s", std::strerror(errno)));
    return pos;
}

void TFileStream::setSize(int64_t newSize) {
    if (::ftruncate(m_fd, newSize) != 0)
        throw EStreamError(format("Cannot set the file size: %s", std::strerror(errno)));
    if (position() > newSize) setPosition(newSize);
}

void TFileStream::sync() {
    if (::fsync(m_fd) != 0) throw EWriteError(format("Stream write error: %s", std::strerror(errno)));
}

// --- TStringStream ---

int64_t TStringStream::read(void* buffer, int64_t count) {
    const auto size = static_cast<int64_t>(m_data.size());
    if (count <= 0 || m_position >= size) return 0;
    const int64_t n = std::min(count, size - m_position);
    std::memcpy(buffer, m_data.data() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int64_t TStringStream::write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto end = static_cast<size_t>(m_position + count);
    if (end > m_data.size()) m_data.resize(end);
    std::memcpy(m_data.data() + m_position, buffer, static_cast<size_t>(count));
    m_position += count;
    return count;
}

int64_t TStringStream::seek(int64_t offset, SeekOrigin origin) {
    m_position = resolveSeek(offset, origin, m_position, static_cast<int64_t>(m_data.size()));
    if (m_position > static_cast<int64_t>(m_data.size())) m_data.resize(static_cast<size_t>(m_position));
    return m_position;
}

void TStringStream::setSize(int64_t newSize) {
    if (newSize < 0) throw EStreamError("Invalid stream size");
    m_data.resize(static_cast<size_t>(newSize));
    m_position = std::min<int64_t>(m_position, newSize);
}

// --- TNullStream ---

int64_t TNullStream::write(const void*, int64_t count) {
    if (count <= 0) return 0;
    m_position += count;
    m_size = std::max(m_size, m_position);
    return count;
}

int64_t TNullStream::seek(int64_t offset, SeekOrigin origin) {
    m_position = resolveSeek(offset, origin, m_position, m_size);
    return m_position;
}

}  // namespace rtl
