#pragma once
// Reading a file only when it is a regular one. The open never blocks: a FIFO
// or a device in a file's place would otherwise hang open() or read() for
// ever; such a path reads as absent. One thread at a time per object.

#include <cstdint>
#include <string>

namespace rtl {

class TRegularFile {
public:
    // Opens path read-only. isOpen() is false when the path is absent,
    // unreadable or not a regular file; error() then holds the reason (errno,
    // ENODEV for a non-regular file).
    explicit TRegularFile(const std::string& path);
    ~TRegularFile();
    TRegularFile(const TRegularFile&) = delete;
    TRegularFile& operator=(const TRegularFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int error() const { return m_error; }
    // The size when it was opened; 0 when not open.
    int64_t size() const { return m_size; }
    // Reads from the start up to limit bytes (fewer when the file is shorter
    // or shrank). Raises EReadError with the system's reason.
    std::string readUpTo(size_t limit);

private:
    int m_fd = -1;
    int m_error = 0;
    int64_t m_size = 0;
};

// The first limit bytes of path, or "" when it is no readable regular file.
std::string readRegularFileOrEmpty(const std::string& path, size_t limit);

}  // namespace rtl
