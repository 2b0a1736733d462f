// Loopback read throughput: ReadToStream (into a null stream and into a file)
// against plain loops of 32 KiB recv calls measured in the same run, plus the
// process's peak memory above its start. Runs are interleaved so load from
// other processes hits both sides alike; the summary at the end gives the ratios.

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "net/NetTCPClient.h"
#include "rtl/Stream.h"

namespace {

constexpr int64_t kTotal = int64_t{1} << 30;  // 1 GiB per run
constexpr int kBlock = 32 * 1024;
constexpr int kRounds = 3;

std::map<std::string, std::pair<double, double>> g_totals;  // name -> (bytes, seconds)

// Accepts one connection and sends kTotal bytes, then closes.
class Sender {
public:
    Sender() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listen, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~Sender() {
        m_thread.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }

private:
    void run() {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        std::vector<char> block(1 << 20, 'b');
        int64_t left = kTotal;
        while (left > 0) {
            const ssize_t n = ::send(fd, block.data(), static_cast<size_t>(std::min<int64_t>(left, 1 << 20)), MSG_NOSIGNAL);
            if (n <= 0) break;
            left -= n;
        }
        ::close(fd);
    }
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
};

int connectRaw(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

void record(benchmark::State& state, const std::string& name, int64_t bytes, double seconds) {
    if (bytes != kTotal) state.SkipWithError("short read");
    state.SetIterationTime(seconds);
    state.SetBytesProcessed(state.bytes_processed() + bytes);
    g_totals[name].first += static_cast<double>(bytes);
    g_totals[name].second += seconds;
}

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string tempFile() { return "/tmp/tessaly-net-read-bench.dat"; }

void PlainRecv(benchmark::State& state, bool toFile) {
    for (auto _ : state) {
        Sender sender;
        const int fd = connectRaw(sender.port());
        const int out = toFile ? ::open(tempFile().c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644) : -1;
        std::vector<char> buffer(kBlock);
        int64_t total = 0;
        const auto start = Clock::now();
        while (true) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            if (out >= 0 && ::write(out, buffer.data(), static_cast<size_t>(n)) != n) break;
            total += n;
        }
        const double seconds = since(start);
        ::close(fd);
        if (out >= 0) ::close(out);
        record(state, toFile ? "plain recv + write" : "plain recv", total, seconds);
    }
}

void ReadToStream(benchmark::State& state, bool toFile) {
    for (auto _ : state) {
        Sender sender;
        net::TNetTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(sender.port());
        client.OpenConnection();
        std::unique_ptr<rtl::TStream> stream;
        if (toFile)
            stream = std::make_unique<rtl::TFileStream>(tempFile(), rtl::FileMode::Create);
        else
            stream = std::make_unique<rtl::TNullStream>();
        const auto start = Clock::now();
        client.ReadToStream(*stream, kTotal, false);
        const double seconds = since(start);
        const int64_t total = stream->size();
        client.CloseConnection();
        record(state, toFile ? "ReadToStream file" : "ReadToStream null", total, seconds);
    }
}

long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const long startRss = statusKiB("VmRSS:");
    for (int round = 0; round < kRounds; ++round) {
        const std::string r = "/round:" + std::to_string(round);
        benchmark::RegisterBenchmark(("plain_recv" + r).c_str(), PlainRecv, false)->Iterations(1)->UseManualTime();
        benchmark::RegisterBenchmark(("read_to_stream_null" + r).c_str(), ReadToStream, false)->Iterations(1)->UseManualTime();
        benchmark::RegisterBenchmark(("plain_recv_write" + r).c_str(), PlainRecv, true)->Iterations(1)->UseManualTime();
        benchmark::RegisterBenchmark(("read_to_stream_file" + r).c_str(), ReadToStream, true)->Iterations(1)->UseManualTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::unlink(tempFile().c_str());

    auto rate = [](const std::string& name) {
        const auto& t = g_totals[name];
        return t.second > 0 ? t.first / t.second / 1e6 : 0.0;
    };
    std::printf("\nsummary (MB/s over %d runs of 1 GiB each)\n", kRounds);
    for (const auto& [name, total] : g_totals) std::printf("  %-22s %8.0f MB/s\n", name.c_str(), rate(name));
    std::printf("  ReadToStream null / plain recv:         %5.1f %%\n", 100 * rate("ReadToStream null") / rate("plain recv"));
    std::printf("  ReadToStream file / plain recv + write: %5.1f %%\n",
                100 * rate("ReadToStream file") / rate("plain recv + write"));
    std::printf("  ReadToStream file / plain recv:         %5.1f %%\n", 100 * rate("ReadToStream file") / rate("plain recv"));
    const long peak = statusKiB("VmHWM:");
    std::printf("  peak memory: %.1f MiB above the start (start %.1f MiB, peak %.1f MiB)\n",
                (peak - startRss) / 1024.0, startRss / 1024.0, peak / 1024.0);
    return 0;
}
