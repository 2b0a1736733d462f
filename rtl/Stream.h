#pragma once
// Byte streams: an abstract TStream with position and size, and three kinds
// that keep their bytes in memory, in a file or in a std::string.
// A stream object is used by one thread at a time.

#include <cstdint>
#include <memory>
#include <string>

namespace rtl {

enum class SeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int64_t read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual int64_t write(const void* buffer, int64_t count) = 0;
    // Returns the new position.
    virtual int64_t seek(int64_t offset, SeekOrigin origin) = 0;
    virtual void setSize(int64_t newSize) = 0;

    virtual int64_t size();
    int64_t position() { return seek(0, SeekOrigin::Current); }
    void setPosition(int64_t pos) { seek(pos, SeekOrigin::Beginning); }

    // All or nothing: raise EReadError / EWriteError on a short transfer.
    void readBuffer(void* buffer, int64_t count);
    void writeBuffer(const void* buffer, int64_t count);
    void writeString(const std::string& text) { writeBuffer(text.data(), static_cast<int64_t>(text.size())); }

    // Copies count bytes from source's current position; count 0 copies the
    // whole source from its start. Returns the bytes copied.
    int64_t copyFrom(TStream& source, int64_t count);

protected:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
};

// Growable memory block. memory() stays valid until the next write or
// setSize. Growth does not zero-fill the spare room, so a receiver may write
// straight into it; bytes that become part of the data are always defined.
class TMemoryStream : public TStream {
public:
    int64_t read(void* buffer, int64_t count) override;
    int64_t write(const void* buffer, int64_t count) override;
    int64_t seek(int64_t offset, SeekOrigin origin) override;
    void setSize(int64_t newSize) override;
    int64_t size() override { return m_size; }

    const char* memory() const { return m_memory.get(); }
    char* memory() { return m_memory.get(); }
    void clear();
    void loadFromFile(const std::string& path);
    void saveToFile(const std::string& path);

protected:
    // Makes room for `needed` bytes, keeping the data; raises EOutOfMemory.
    void reserveFor(int64_t needed);

    std::unique_ptr<char[]> m_memory;
    int64_t m_capacity = 0;
    int64_t m_size = 0;
    int64_t m_position = 0;  // may lie past m_size; a write there fills the gap with zeros
};

enum class FileMode { Create, OpenRead, OpenWrite, OpenReadWrite, OpenOrCreate, OpenOrCreatePlainFile };

// A file opened through POSIX; Create truncates or makes the file (mode 0666
// less umask); OpenOrCreate makes it when absent and keeps what is there.
// OpenOrCreatePlainFile does the same but refuses a symbolic link, a file with
// other names (hard links) or anything that is no regular file in path's
// place, without waiting on it.
// Raises EFCreateError / EFOpenError with the system's reason.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& path, FileMode mode);
    ~TFileStream() override;

    int64_t read(void* buffer, int64_t count) override;
    int64_t write(const void* buffer, int64_t count) override;
    int64_t seek(int64_t offset, SeekOrigin origin) override;
    void setSize(int64_t newSize) override;

    const std::string& fileName() const { return m_path; }
    int handle() const { return m_fd; }
    // Flushes the file's data to the disk; raises EWriteError on failure.
    void sync();

private:
    std::string m_path;
    int m_fd = -1;
};

// Bytes kept in a std::string.
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string data = {}) : m_data(std::move(data)) {}
    int64_t read(void* buffer, int64_t count) override;
    int64_t write(const void* buffer, int64_t count) override;
    int64_t seek(int64_t offset, SeekOrigin origin) override;
    void setSize(int64_t newSize) override;
    int64_t size() override { return static_cast<int64_t>(m_data.size()); }

    const std::string& dataString() const { return m_data; }

private:
    std::string m_data;
    int64_t m_position = 0;
};

// Swallows writes and reads nothing; counts what passed through it.
class TNullStream : public TStream {
public:
    int64_t read(void*, int64_t) override { return 0; }
    int64_t write(const void*, int64_t count) override;
    int64_t seek(int64_t offset, SeekOrigin origin) override;
    void setSize(int64_t newSize) override { m_size = newSize; }
    int64_t size() override { return m_size; }

private:
    int64_t m_size = 0;
    int64_t m_position = 0;
};

}  // namespace rtl
