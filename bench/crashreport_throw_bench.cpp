// The cost of a thrown-and-caught exception without and with the crash
// reporter (whose throw hook copies the stack top at each throw), and of
// building and logging one report with symbols.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <unistd.h>

#include "crashreport/ExceptionLog.h"

namespace {

__attribute__((noinline)) void throwIt(int depth) {
    if (depth > 0) {
        throwIt(depth - 1);
        benchmark::ClobberMemory();
        return;
    }
    throw std::runtime_error("benchmark");
}

void throwAndCatch(benchmark::State& state) {
    for (auto _ : state) {
        try {
            throwIt(3);
        } catch (const std::exception& e) {
            benchmark::DoNotOptimize(e.what());
        }
    }
}

void install(const std::string& logFolder) {
    crashreport::TInstallParams params;
    params.options.ShowDialog = false;
    params.options.LogPath = logFolder;
    crashreport::TExceptionLog::install(std::move(params));
}

std::string scratchFolder() {
    char pattern[] = "/tmp/crashreport_bench_XXXXXX";
    return std::string(mkdtemp(pattern)) + "/";
}

void BM_ThrowWithoutReporter(benchmark::State& state) {
    crashreport::TExceptionLog::uninstall();
    throwAndCatch(state);
}

void BM_ThrowWithReporter(benchmark::State& state) {
    install(scratchFolder());
    throwAndCatch(state);
    crashreport::TExceptionLog::uninstall();
}

void BM_BuildAndLogOneReport(benchmark::State& state) {
    install(scratchFolder());
    crashreport::TExceptionLog* log = crashreport::TExceptionLog::instance();
    log->symbols(60000);  // the first report may wait for the debug table; not timed
    for (auto _ : state) {
        try {
            throwIt(3);
        } catch (...) {
            log->reportException(std::current_exception());
        }
    }
    crashreport::TExceptionLog::uninstall();
}

}  // namespace

BENCHMARK(BM_ThrowWithoutReporter);
BENCHMARK(BM_ThrowWithReporter);
BENCHMARK(BM_BuildAndLogOneReport)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_MAIN();
