#include "rtl/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/Exception.h"

namespace rtl {

TRegularFile::TRegularFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = S_ISREG(st.st_mode) ? errno : ENODEV;
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_size = static_cast<int64_t>(st.st_size);
}

TRegularFile::~TRegularFile() {
    if (m_fd >= 0) ::close(m_fd);
}

std::string TRegularFile::readUpTo(size_t limit) {
    if (m_fd < 0) throw EReadError(format("Stream read error: %s", std::strerror(m_error)));
    std::string bytes(std::min(limit, static_cast<size_t>(m_size)), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(m_fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EReadError(format("Stream read error: %s", std::strerror(errno)));
        if (n == 0) break;  // the file shrank since it was opened
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

std::string readRegularFileOrEmpty(const std::string& path, size_t limit) {
    TRegularFile file(path);
    if (!file.isOpen()) return {};
    try {
        return file.readUpTo(limit);
    } catch (const EReadError&) {
        return {};
    }
}

}  // namespace rtl
