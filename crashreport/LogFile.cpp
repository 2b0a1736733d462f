#include "crashreport/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "crashreport/LogFormat.h"
#include "crashreport/TextSink.h"
#include "rtl/Exception.h"
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

namespace {

// Whether the bytes just before offset end an entry: a separator that begins a line.
bool entryBeginsAt(int fd, size_t offset) {
    constexpr size_t kSeparator = kLogSeparator.size();
    if (offset < kSeparator) return false;
    char before[kSeparator + 1];
    const size_t want = offset > kSeparator ? kSeparator + 1 : kSeparator;
    const ssize_t n = ::pread(fd, before, want, static_cast<off_t>(offset - want));
    if (n != static_cast<ssize_t>(want)) return false;
    const std::string_view tail(before + (want - kSeparator), kSeparator);
    return tail == kLogSeparator && (want == kSeparator || before[0] == '\n');
}

// Appends the decimal digits of value to out (at most 20).
char* putDecimal(char* out, uint64_t value) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value && count < 20);
    while (count) *out++ = digits[--count];
    return out;
}

// Opens a temporary file of a fresh, hard-to-guess name beside name: "<name>.tmp<pid>.<n>".
int createTemporary(int folderFd, const char* name, char (&tempName)[NAME_MAX + 1]) {
    static std::atomic<uint64_t> counter{0};
    const size_t length = std::strlen(name);
    if (length + 4 + 20 + 1 + 20 + 1 > sizeof tempName) {
        errno = ENAMETOOLONG;
        return -1;
    }
    for (int attempt = 0; attempt < 64; ++attempt) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const uint64_t mix = static_cast<uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^
                             (counter.fetch_add(1) + 1) * 0xBF58476D1CE4E5B9ull ^ static_cast<uint64_t>(now.tv_sec);
        char* out = tempName;
        std::memcpy(out, name, length);
        out += length;
        std::memcpy(out, ".tmp", 4);
        out = putDecimal(out + 4, static_cast<uint64_t>(::getpid()));
        *out++ = '.';
        out = putDecimal(out, mix);
        *out = '\0';
        const int fd = ::openat(folderFd, tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

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
        result.skipped = size - capacity;
        result.cutAtStart = !entryBeginsAt(fd, result.skipped);
        ::lseek(fd, static_cast<off_t>(result.skipped), SEEK_SET);
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

bool rewriteLog(int folderFd, const char* name, std::span<const std::string_view> kept, std::string_view newEntry) {
    char tempName[NAME_MAX + 1];
    const int fd = createTemporary(folderFd, name, tempName);
    if (fd < 0) return false;
    bool ok = true;
    // The log keeps the permissions it had (a private log stays private).
    struct stat old {};
    if (::fstatat(folderFd, name, &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        ok = ::fchmod(fd, old.st_mode & 0777) == 0;
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

std::string TLogTrim::describe(const std::string& path) const {
    std::string text = "The log file \"" + path + "\" was too big to keep whole:";
    if (skippedBytes) text += rtl::format(" %zu bytes before its last %zu were dropped;", skippedBytes, kMaxLogBytes);
    if (oversizeEntries)
        text += rtl::format(" %zu entries longer than %zu bytes were dropped;", oversizeEntries, kMaxEntryBytes);
    if (excessEntries) text += rtl::format(" %zu entries beyond the newest %zu were dropped;", excessEntries, kMaxLogEntriesRead);
    text.back() = '.';
    return text;
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
    m_trim = {};
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
    m_trim.skippedBytes = read.skipped;
    m_trim.excessEntries = pieces->dropped;
    for (size_t i = 0; i < pieces->count; ++i) {
        if (pieces->items[i].size() <= kMaxEntryBytes)
            m_entries.emplace_back(pieces->items[i]);
        else
            ++m_trim.oversizeEntries;
    }
    return !read.failed;
}

bool TLogFile::write(std::vector<std::string> entries) {
    if (!openFolder() || entries.empty()) return false;
    const std::vector<std::string_view> kept(entries.begin(), entries.end() - 1);
    if (!rewriteLog(m_folderFd, m_location.fileName.c_str(), kept, entries.back())) return false;
    m_entries = std::move(entries);
    return true;
}

bool TLogFile::append(const std::string& entry, int maxEntries) {
    std::vector<std::string> entries(m_entries.begin() + static_cast<std::ptrdiff_t>(firstKeptEntry(m_entries.size(), maxEntries)),
                                     m_entries.end());
    entries.push_back(entry);
    return write(std::move(entries));
}

bool TLogFile::replaceEntry(const std::string& written, const std::string& entry, int maxEntries) {
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i] != written) continue;
        std::vector<std::string> entries = m_entries;
        entries[i] = entry;
        return write(std::move(entries));
    }
    return append(entry, maxEntries);
}

std::string TLogFile::wholeText() const {
    std::string text;
    for (const std::string& entry : m_entries) text += entry + std::string(kLogSeparator);
    return text;
}

}  // namespace crashreport
