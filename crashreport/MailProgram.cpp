#include "crashreport/MailProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

#include "rtl/Exception.h"
#include "rtl/IniReader.h"
#include "rtl/StringUtils.h"

namespace crashreport {

namespace {

constexpr int kStillRunning = 200;  // the middle process's exit code when the program outlived the wait
constexpr int kQueryWaitMs = 10000;
constexpr size_t kMaxQueryOutput = 4096;

// xdg-email's exit codes.
constexpr int kXdgSyntax = 1, kXdgFileMissing = 2, kXdgImpossible = 3, kXdgFailed = 4, kXdgPermission = 5;

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

std::vector<std::string> splitList(const std::string& list, char separator) {
    std::vector<std::string> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, separator))
        if (!item.empty()) out.push_back(item);
    return out;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it holds a "/", else the first match on PATH.
std::string findProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    for (const std::string& folder : splitList(envOr("PATH", "/usr/local/bin:/usr/bin:/bin"), ':'))
        if (isExecutableFile(folder + "/" + program)) return folder + "/" + program;
    return {};
}

struct TChildResult {
    int startError = 0;  // errno of a program that could not be started
    bool finished = false;
    int exitCode = 0;
    std::string output;
};

void sleepMs(long ms) {
    timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&pause, nullptr);
}

// The grandchild: the program itself, in a session of its own, stdin from /dev/null.
[[noreturn]] void execProgram(const std::string& path, char* const* argv, int nullFd, int outFd, int errorFd) {
    ::setsid();
    ::dup2(nullFd, 0);
    if (outFd >= 0) ::dup2(outFd, 1);
    ::execv(path.c_str(), argv);
    const int error = errno;
    (void)!::write(errorFd, &error, sizeof error);
    ::_exit(127);
}

// The middle process: starts the program and waits for it up to waitMs (0: not
// at all). A program still running then is left to init, so no zombie stays.
[[noreturn]] void superviseProgram(const std::string& path, char* const* argv, int nullFd, int outFd, int errorFd,
                                   int waitMs) {
    const pid_t program = ::fork();
    if (program < 0) ::_exit(126);
    if (program == 0) execProgram(path, argv, nullFd, outFd, errorFd);
    ::close(errorFd);
    if (outFd >= 0) ::close(outFd);
    for (int waited = 0; waited < waitMs; waited += 10) {
        int status = 0;
        if (::waitpid(program, &status, WNOHANG) == program)
            ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        sleepMs(10);
    }
    ::_exit(waitMs > 0 ? kStillRunning : 0);
}

std::string readAll(int fd, size_t limit) {
    std::string out;
    char buffer[1024];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (out.size() < limit) out.append(buffer, std::min(static_cast<size_t>(n), limit - out.size()));
    }
    return out;
}

// Starts argv (argv[0] looked up on PATH) and waits up to waitMs for its end.
TChildResult runProgram(const std::vector<std::string>& args, int waitMs, bool captureOutput) {
    TChildResult result;
    const std::string path = args.empty() ? std::string() : findProgram(args[0]);
    if (path.empty()) {
        result.startError = ENOENT;
        return result;
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int errorPipe[2], outPipe[2] = {-1, -1};
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nullFd < 0 || ::pipe2(errorPipe, O_CLOEXEC) != 0 || (captureOutput && ::pipe2(outPipe, O_CLOEXEC) != 0)) {
        result.startError = errno;
        if (nullFd >= 0) ::close(nullFd);
        return result;
    }
    const pid_t middle = ::fork();
    if (middle == 0) superviseProgram(path, argv.data(), nullFd, outPipe[1], errorPipe[1], waitMs);
    ::close(nullFd);
    ::close(errorPipe[1]);
    if (outPipe[1] >= 0) ::close(outPipe[1]);
    int status = 0;
    if (middle < 0) {
        result.startError = errno;
    } else {
        while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
        int error = 0;
        if (::read(errorPipe[0], &error, sizeof error) == static_cast<ssize_t>(sizeof error)) result.startError = error;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 126;
        if (code == 126 && !result.startError) result.startError = EAGAIN;
        result.finished = code != kStillRunning && waitMs > 0;
        result.exitCode = code;
        if (outPipe[0] >= 0) result.output = readAll(outPipe[0], kMaxQueryOutput);
    }
    ::close(errorPipe[0]);
    if (outPipe[0] >= 0) ::close(outPipe[0]);
    return result;
}

// Splits an Exec value into words (double quotes, backslash escapes inside them)
// and puts url in place of the field code; without one, url is added at the end.
std::vector<std::string> execWithURL(const std::string& exec, const std::string& url) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false, placed = false;
    auto finish = [&] {
        if (any) words.push_back(word);
        word.clear();
        any = false;
    };
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == '\\' && quoted && i + 1 < exec.size()) {
            word += exec[++i];
        } else if (c == ' ' && !quoted) {
            finish();
        } else if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') {
                word += '%';
            } else if (code == 'u' || code == 'U' || code == 'f' || code == 'F') {
                word += url;
                placed = true;
            }  // the other field codes stand for nothing here
            any = true;
        } else {
            word += c;
            any = true;
        }
    }
    finish();
    if (!words.empty() && !placed) words.push_back(url);
    return words;
}

std::string desktopFileExec(const std::string& desktopId) {
    if (desktopId.empty() || desktopId.find('/') != std::string::npos) return {};
    const std::string home = envOr("HOME", "/");
    std::vector<std::string> folders{envOr("XDG_DATA_HOME", home + "/.local/share")};
    for (const std::string& f : splitList(envOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
        folders.push_back(f);
    for (const std::string& folder : folders) {
        const std::string path = folder + "/applications/" + desktopId;
        if (::access(path.c_str(), R_OK) == 0)
            return rtl::TIniReader::fromFile(path).readString("Desktop Entry", "Exec");
    }
    return {};
}

void appendEncoded(std::string& out, char c) {
    static const char hex[] = "0123456789ABCDEF";
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
        b == '_' || b == '~') {
        out += c;
    } else {
        out += '%';
        out += hex[b >> 4];
        out += hex[b & 15];
    }
}

std::string mapiFailure(const TChildResult& run) {
    if (run.startError)
        return "Cannot open the MAPI dll.\r\nxdg-email: " + std::string(std::strerror(run.startError));
    const std::string detail = "\r\nxdg-email ended with exit code " + std::to_string(run.exitCode) + ".";
    switch (run.exitCode) {
    case kXdgImpossible: return "Cannot found the MAPI functions." + detail;
    case kXdgPermission: return "Cannot LogOn into the MAPI service." + detail;
    case kXdgSyntax:
    case kXdgFileMissing:
    case kXdgFailed:
    default: return "Cannot send the MAPI message." + detail;
    }
}

}  // namespace

std::string urlEncoded(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) appendEncoded(out, c);
    return out;
}

std::string mailtoURL(const std::string& recipients, const std::string& subject, const std::string& body) {
    std::string url = "mailto:";
    for (const char c : recipients) {
        if (c == '@' || c == ',')
            url += c;
        else
            appendEncoded(url, c);
    }
    url += "?Subject=" + urlEncoded(subject) + "&Body=";
    std::string encoded;
    for (const char c : body) {
        encoded.clear();
        appendEncoded(encoded, c);
        if (url.size() + encoded.size() > kMaxMailtoLength) break;
        url += encoded;
    }
    return url;
}

bool sendByMailProgram(const std::vector<std::string>& recipients, const std::string& subject,
                       const std::string& body, const std::vector<std::string>& attachments, std::string& failure,
                       int waitMs) {
    std::vector<std::string> args{"xdg-email"};
    // xdg-email refuses an empty text after these options.
    if (!subject.empty()) args.insert(args.end(), {"--subject", subject});
    if (!body.empty()) args.insert(args.end(), {"--body", body});
    for (const std::string& file : attachments) args.insert(args.end(), {"--attach", file});
    for (const std::string& recipient : recipients) args.push_back(recipient);
    const TChildResult run = runProgram(args, waitMs > 0 ? waitMs : 1, false);
    if (!run.startError && (!run.finished || run.exitCode == 0)) return true;
    failure = mapiFailure(run);
    return false;
}

std::vector<std::string> mailtoCommand(const std::string& url) {
    const TChildResult query = runProgram({"xdg-mime", "query", "default", "x-scheme-handler/mailto"}, kQueryWaitMs, true);
    if (query.startError || !query.finished || query.exitCode != 0) return {};
    const std::string desktopId = rtl::trimControls(query.output.substr(0, query.output.find('\n')));
    const std::string exec = desktopFileExec(desktopId);
    return exec.empty() ? std::vector<std::string>() : execWithURL(exec, url);
}

bool sendByMailto(const std::string& recipients, const std::string& subject, const std::string& body,
                  std::string& failure) {
    const std::vector<std::string> command = mailtoCommand(mailtoURL(recipients, subject, body));
    if (command.empty()) {
        failure = std::string(std::strerror(ENOENT)) + " (no program is registered for mailto: links)";
        return false;
    }
    const TChildResult run = runProgram(command, 0, false);
    if (!run.startError) return true;
    failure = std::string(std::strerror(run.startError)) + " (" + command[0] + ")";
    return false;
}

}  // namespace crashreport
