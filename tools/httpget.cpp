// httpget URL... [-o FILE] [-v]: fetches each URL with one GetToStream, set up as
// the program sets up its page fetcher, closing the connection after every
// fetch as the program does. Bodies go to FILE (created anew) or to standard
// output. Exit 0 with the status line and byte count on standard error, or
// exit 1 with the exception's class and message. Progress is shown on
// standard error when it is a terminal.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/NetHTTP.h"
#include "net/NetPageFetcher.h"
#include "net/NetSSLIOHandlerSocket.h"

namespace {

// A write-only stream on a descriptor: a file, a pipe or a terminal. Presizing
// is not needed for a sequential write and is ignored; cutting back is done
// only where the descriptor can seek (a regular file).
class TDescriptorStream : public rtl::TStream {
public:
    explicit TDescriptorStream(int fd) : m_fd(fd) {
        struct stat info {};
        m_regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    }
    int64_t read(void*, int64_t) override { return 0; }
    int64_t write(const void* buffer, int64_t count) override {
        const char* p = static_cast<const char*>(buffer);
        int64_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(m_fd, p + done, static_cast<size_t>(count - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw rtl::EWriteError(rtl::format("Stream write error: %s", std::strerror(errno)));
            done += n;
        }
        m_position += done;
        m_size = std::max(m_size, m_position);
        return done;
    }
    int64_t seek(int64_t offset, rtl::SeekOrigin origin) override {
        int64_t target = origin == rtl::SeekOrigin::Beginning ? offset
                         : origin == rtl::SeekOrigin::Current ? m_position + offset
                                                              : m_size + offset;
        if (target == m_position) return m_position;
        if (!m_regular || ::lseek(m_fd, target, SEEK_SET) < 0) return m_position;
        m_position = target;
        return m_position;
    }
    void setSize(int64_t newSize) override {
        if (newSize >= m_size || !m_regular) return;
        if (::ftruncate(m_fd, newSize) == 0) m_size = newSize;
    }
    int64_t size() override { return m_size; }

private:
    int m_fd;
    bool m_regular = false;
    int64_t m_position = 0;
    int64_t m_size = 0;
};

// Progress on a terminal, at most ten lines a second.
void showProgress(net::TNetHTTP& http) {
    if (!::isatty(2)) return;
    auto last = std::make_shared<std::chrono::steady_clock::time_point>();
    auto maximum = std::make_shared<int64_t>(0);
    http.OnWorkBegin = [maximum](net::TNetComponent&, net::TWorkMode mode, int64_t max) {
        if (mode == net::TWorkMode::wmRead) *maximum = max;
    };
    http.OnWork = [last, maximum](net::TNetComponent&, net::TWorkMode mode, int64_t count) {
        const auto now = std::chrono::steady_clock::now();
        if (mode != net::TWorkMode::wmRead || now - *last < std::chrono::milliseconds(100)) return;
        *last = now;
        if (*maximum > 0) std::fprintf(stderr, "\r%lld / %lld bytes", (long long)count, (long long)*maximum);
        else std::fprintf(stderr, "\r%lld bytes", (long long)count);
    };
    http.OnWorkEnd = [](net::TNetComponent&, net::TWorkMode mode) {
        if (mode == net::TWorkMode::wmRead) std::fprintf(stderr, "\r\033[K");
    };
}

// Every handshake, also those of redirect hops and tunnels.
void showHandshakes(net::TNetHTTP& http) {
    auto tls = std::dynamic_pointer_cast<net::TNetSSLIOHandlerSocket>(http.IOHandler());
    if (!tls) return;
    tls->OnHandshake = [](const net::TNetTLSInfo& info) {
        std::fprintf(stderr, "TLS: %s, %s%s\nPeer: %s\n", info.Protocol.c_str(), info.Cipher.c_str(),
                     info.Resumed ? " (resumed)" : "", info.PeerSubject.c_str());
    };
}

int usage() {
    std::fprintf(stderr, "usage: httpget URL... [-o FILE] [-v] | httpget --version\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> urls;
    std::string output;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--version") {
            std::printf("httpget (Tessaly) %s\n", TESSALY_VERSION);
            return 0;
        }
        if (arg == "-v") {
            verbose = true;
        } else if (arg == "-o") {
            if (++i >= argc) return usage();
            output = argv[i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage();  // no other options (none skips the certificate check)
        } else {
            urls.push_back(arg);
        }
    }
    if (urls.empty()) return usage();
    int fd = 1;
    if (!output.empty()) {
        fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            std::fprintf(stderr, "EFCreateError: Cannot create file \"%s\". %s\n", output.c_str(), std::strerror(errno));
            return 1;
        }
    }
    TDescriptorStream body(fd);
    net::TNetHTTP http;
    net::ConfigurePageFetcher(http);
    showProgress(http);
    if (verbose) showHandshakes(http);
    try {
        for (const auto& url : urls) {
            const int64_t before = body.position();
            try {
                http.GetToStream(url, body);
            } catch (...) {
                http.CloseConnection();
                throw;
            }
            http.CloseConnection();
            if (urls.size() == 1)
                std::fprintf(stderr, "%s\n%lld bytes\n", http.Response().StatusLine.c_str(),
                             (long long)(body.position() - before));
        }
        if (urls.size() > 1) std::fprintf(stderr, "%zu URLs\n%lld bytes\n", urls.size(), (long long)body.position());
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "%s: %s\n", e.className(), e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Exception: %s\n", e.what());
        return 1;
    }
    if (fd != 1 && ::close(fd) != 0) {
        std::fprintf(stderr, "EWriteError: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
