#include "crashreport/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "crashreport/LogFormat.h"
#include "crashreport/TextSink.h"
#include "rtl/StringUtils.h"

namespace crashreport {

namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string fromProgramFolder(const std::string& path, const std::string& programFolder) {
    if (!path.empty() && path[0] == '/') return path;
    return withSlash(programFolder) + path;
}

std::string replaceExtension(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    const std::string stem = (dot == std::string::npos || dot == 0) ? fileName : fileName.substr(0, dot);
    return stem + std::string(kLogExtension);
}

void makeFolders(const std::string& folder) {
    for (size_t i = 1; i < folder.size(); ++i)
        if (folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

std::string userStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return withSlash(state) + "tessaly/";
    const char* home = std::getenv("HOME");
    return withSlash(home && home[0] ? home : "/tmp") + ".local/state/tessaly/";
}

TLogLocation resolveLogLocation(const std::string& logPath, const std::string& programFolder,
                                const std::string& programFileName, const std::string& stateFolder) {
    TLogLocation location;
    const std::string defaultName = replaceExtension(programFileName);
    if (logPath.size() > kLogExtension.size() &&
        rtl::asciiLower(logPath.substr(logPath.size() - kLogExtension.size())) == kLogExtension) {
        const std::string full = fromProgramFolder(logPath, programFolder);
        const size_t slash = full.rfind('/');
        location.folder = full.substr(0, slash + 1);
        location.fileName = full.substr(slash + 1);
    } else if (!logPath.empty()) {
        location.folder = withSlash(fromProgramFolder(logPath, programFolder));
        location.fileName = defaultName;
    } else {
        location.folder = withSlash(programFolder);
        location.fileName = defaultName;
        if (::access(location.folder.c_str(), W_OK) != 0) location.folder = withSlash(stateFolder);
    }
    return location;
}

TLogRead readLogTail(int folderFd, const char* name, char* buffer, size_t capacity) {
    TLogRead result;
    const int fd = ::openat(folderFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.failed = errno != ENOENT;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        result.failed = true;
        return result;
    }
    const auto size = static_cast<size_t>(info.st_size > 0 ? info.st_size : 0);
    if (size > capacity) {
        result.cutAtStart = true;
        ::lseek(fd, static_cast<off_t>(size - capacity), SEEK_SET);
    }
    while (result.bytes < capacity) {
        const ssize_t n = ::read(fd, buffer + result.bytes, capacity - result.bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result.failed = true;
        if (n <= 0) break;
        result.bytes += static_cast<size_t>(n);
    }
    ::close(fd);
    return result;
}

size_t firstKeptEntry(size_t count, int maxEntries) {
    const size_t keep = maxEntries > 1 ? static_cast<size_t>(maxEntries - 1) : 0;
    return count > keep ? count - keep : 0;
}

bool rewriteLog(int folderFd, const char* name, const char* tempName, std::span<const std::string_view> kept,
                std::string_view newEntry) {
    const int fd = ::openat(folderFd, tempName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    for (std::string_view entry : kept) ok = ok && writeAll(fd, entry) && writeAll(fd, kLogSeparator);
    ok = ok && writeAll(fd, newEntry) && writeAll(fd, kLogSeparator);
    ok = ok && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::renameat(folderFd, tempName, folderFd, name) == 0) {
        ::fsync(folderFd);
        return true;
    }
    const int failure = ok ? errno : savedErrno;
    ::unlinkat(folderFd, tempName, 0);
    errno = failure;
    return false;
}

TLogFile::TLogFile(TLogLocation location) : m_location(std::move(location)) {}

TLogFile::~TLogFile() {
    if (m_folderFd >= 0) ::close(m_folderFd);
}

bool TLogFile::openFolder() {
    if (m_folderFd >= 0) return true;
    makeFolders(m_location.folder);
    m_folderFd = ::open(m_location.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_folderFd >= 0;
}

bool TLogFile::load() {
    m_entries.clear();
    if (!openFolder()) return errno == ENOENT;
    struct stat info {};
    size_t size = 0;
    if (::fstatat(m_folderFd, m_location.fileName.c_str(), &info, 0) == 0 && info.st_size > 0)
        size = static_cast<size_t>(info.st_size);
    std::string text(std::min(size, kMaxLogBytes), '\0');
    const TLogRead read = readLogTail(m_folderFd, m_location.fileName.c_str(), text.data(), text.size());
    text.resize(read.bytes);
    auto pieces = std::make_unique<TLogEntries>();
    splitLog(text, read.cutAtStart, *pieces);
    for (size_t i = 0; i < pieces->count; ++i)
        if (pieces->items[i].size() <= kMaxEntryBytes) m_entries.emplace_back(pieces->items[i]);
    return !read.failed;
}

bool TLogFile::write(size_t firstKept, size_t keptEnd, const std::string& entry) {
    if (!openFolder()) return false;
    std::vector<std::string_view> kept(m_entries.begin() + static_cast<std::ptrdiff_t>(firstKept),
                                       m_entries.begin() + static_cast<std::ptrdiff_t>(keptEnd));
    const std::string temp = m_location.fileName + ".tmp" + std::to_string(::getpid());
    if (!rewriteLog(m_folderFd, m_location.fileName.c_str(), temp.c_str(), kept, entry)) return false;
    std::vector<std::string> entries(m_entries.begin() + static_cast<std::ptrdiff_t>(firstKept),
                                     m_entries.begin() + static_cast<std::ptrdiff_t>(keptEnd));
    entries.push_back(entry);
    m_entries = std::move(entries);
    return true;
}

bool TLogFile::append(const std::string& entry, int maxEntries) {
    return write(firstKeptEntry(m_entries.size(), maxEntries), m_entries.size(), entry);
}

bool TLogFile::replaceLast(const std::string& entry) {
    if (m_entries.empty()) return append(entry, 1);
    return write(0, m_entries.size() - 1, entry);
}

std::string TLogFile::wholeText() const {
    std::string text;
    for (const std::string& entry : m_entries) text += entry + std::string(kLogSeparator);
    return text;
}

}  // namespace crashreport
