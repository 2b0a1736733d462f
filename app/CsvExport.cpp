#include "app/CsvExport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

void appendField(std::string& out, std::string_view value) {
    out += '"';
    size_t from = 0;
    for (size_t quote = value.find('"'); quote != std::string_view::npos; quote = value.find('"', from)) {
        out.append(value.substr(from, quote + 1 - from));
        out += '"';
        from = quote + 1;
    }
    out.append(value.substr(from));
    out += '"';
}

[[noreturn]] void fail(const std::string& reason) { throw ESaveError(reason); }

// The mode a new file gets from the user's umask (mkstemp would give 0600).
mode_t defaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(std::strerror(n < 0 ? errno : ENOSPC));
        done += static_cast<size_t>(n);
    }
}

}  // namespace

std::string buildCsv(const std::vector<std::string>& captions, const std::vector<KeywordRow>& rows) {
    std::string out;
    out.reserve(64 + rows.size() * 64);
    for (size_t c = 0; c < captions.size(); ++c) {
        if (c) out += ',';
        appendField(out, captions[c]);
    }
    out += "\r\n";
    for (const auto& row : rows) {
        for (size_t c = 0; c < captions.size(); ++c) {
            if (c) out += ',';
            appendField(out, row.cell(static_cast<int>(c)));
        }
        out += "\r\n";
    }
    return out;
}

void writeFileReplacing(const std::string& path, const std::string& data) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) fail(std::strerror(errno));
    try {
        struct stat existing {};
        const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : defaultFileMode();
        ::fchmod(fd, mode);
        writeAll(fd, data);
        if (::fsync(fd) != 0) fail(std::strerror(errno));
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        fail(std::strerror(saved));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        fail(std::strerror(saved));
    }
}

}  // namespace app
