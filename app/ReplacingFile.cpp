#include "app/ReplacingFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

[[noreturn]] void fail(int error) { throw ESaveError(std::strerror(error)); }

// The mode a new file gets from the user's umask (mkstemp would give 0600).
mode_t defaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

TReplacingFile::TReplacingFile(std::string path) : m_path(std::move(path)), m_tempPath(m_path + ".XXXXXX") {
    m_fd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (m_fd < 0) fail(errno);
    struct stat existing {};
    const mode_t mode = ::stat(m_path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : defaultFileMode();
    ::fchmod(m_fd, mode);
}

TReplacingFile::~TReplacingFile() { discard(); }

void TReplacingFile::discard() noexcept {
    if (m_fd < 0) return;
    ::close(m_fd);
    ::unlink(m_tempPath.c_str());
    m_fd = -1;
}

void TReplacingFile::write(std::string_view bytes) {
    if (m_fd < 0) throw ESaveError("The file is already closed");
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void TReplacingFile::commit() {
    if (m_fd < 0) throw ESaveError("The file is already closed");
    if (::fsync(m_fd) != 0) fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || ::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        ::unlink(m_tempPath.c_str());
        fail(error);
    }
}

}  // namespace app
