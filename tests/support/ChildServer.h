#pragma once
// A test server run as a child process: started with its standard input on a
// pipe (closing it tells our Python servers to end) and its standard output on
// a pipe whose first line the test may read (the port it chose). The destructor
// closes the pipe, waits a moment, then ends the child by its pid.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class TChildServer {
public:
    // stdoutFile: where the child's standard output goes; empty for the pipe.
    explicit TChildServer(const std::vector<std::string>& argv, const std::string& outputFile = {}) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid < 0) throw std::runtime_error("fork failed");
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            if (outputFile.empty()) {
                ::dup2(out[1], 1);
            } else {
                const int fd = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
    }
    ~TChildServer() { stop(); }
    TChildServer(const TChildServer&) = delete;
    TChildServer& operator=(const TChildServer&) = delete;

    // The first line of the child's output, waiting up to timeoutMs; empty on time-out.
    std::string firstLine(int timeoutMs = 15000) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{m_stdout, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char c;
            if (::read(m_stdout, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return {};
    }

    int firstLineAsPort(int timeoutMs = 15000) {
        const std::string line = firstLine(timeoutMs);
        return line.empty() ? 0 : std::atoi(line.c_str());
    }

    bool running() {
        if (m_pid <= 0) return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    // For a server that does not read its input: stop() sends SIGTERM at once.
    void endWithSignal() { m_signalFirst = true; }

    void stop() {
        if (m_stdin >= 0) ::close(m_stdin);
        m_stdin = -1;
        if (m_pid > 0) {
            for (int i = 0; i < 50 && !m_signalFirst && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (m_pid > 0) ::kill(m_pid, SIGTERM);
            for (int i = 0; i < 50 && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (m_pid > 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
                m_pid = -1;
            }
        }
        if (m_stdout >= 0) ::close(m_stdout);
        m_stdout = -1;
    }

private:
    pid_t m_pid = -1;
    int m_stdin = -1, m_stdout = -1;
    bool m_signalFirst = false;
};

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace testsupport
