#include "app/ReplacingFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

// The mode a new file gets from the user's umask (mkstemp would give 0600).
mode_t defaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop <= TReplacingFile::kMaxLinkHops; ++hop) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof(target) - 1);
        if (n < 0) return current;  // not a link (or nothing there yet)
        const std::string next(target, static_cast<size_t>(n));
        current = next.front() == '/' ? next : folderOf(current) + next;
    }
    throw ESaveError(std::strerror(ELOOP));
}

TReplacingFile::TReplacingFile(std::string path) : m_target(resolveLinks(path)), m_tempPath(m_target + ".XXXXXX") {
    m_fd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (m_fd >= 0) {
        struct stat existing {};
        const mode_t mode = ::stat(m_target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : defaultFileMode();
        ::fchmod(m_fd, mode);
        return;
    }
    const int tempError = errno;
    // No file can be made beside the target; an existing plain file may still be writable.
    m_tempPath.clear();
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        throw ESaveError(std::strerror(tempError));
    }
    m_inPlace = true;
}

TReplacingFile::~TReplacingFile() { discard(); }

void TReplacingFile::fail(int error) const {
    if (m_inPlace)
        throw ESaveError(std::string(std::strerror(error)) +
                         ". The file was being written in place (no temporary file could be made beside it), so it may "
                         "now be incomplete");
    throw ESaveError(std::strerror(error));
}

void TReplacingFile::discard() noexcept {
    if (m_fd < 0) return;
    ::close(m_fd);
    if (!m_inPlace) ::unlink(m_tempPath.c_str());
    m_fd = -1;
}

void TReplacingFile::write(std::string_view bytes) {
    if (m_fd < 0) throw ESaveError("The file is already closed");
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<size_t>(n));
        m_written += static_cast<size_t>(n);
    }
}

void TReplacingFile::commit() {
    if (m_fd < 0) throw ESaveError("The file is already closed");
    if (m_inPlace && ::ftruncate(m_fd, static_cast<off_t>(m_written)) != 0) fail(errno);
    if (::fsync(m_fd) != 0) fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (m_inPlace) {
        if (::close(fd) != 0) fail(errno);
        return;
    }
    if (::close(fd) != 0 || ::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        ::unlink(m_tempPath.c_str());
        fail(error);
    }
}

}  // namespace app
