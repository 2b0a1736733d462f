// The cost of a thrown-and-caught exception with the crash reporter installed
// (its throw hook copies the stack top at each throw), from 3 and from 30 frames
// down; crashreport_unhooked_bench times the same throw without the reporter
// (compare_throw.sh prints the ratio). And the time to build and log one
// report with symbols, after the first.
#include <unistd.h>

#include <string>

#include "bench/ThrowBenchBody.h"
#include "crashreport/ExceptionLog.h"

namespace {

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

void reportOne(crashreport::TExceptionLog& log, int depth) {
    try {
        throwbench::throwIt(depth);
    } catch (...) {
        log.reportException(std::current_exception());
    }
}

void BM_ThrowWithReporter(benchmark::State& state) {
    install(scratchFolder());
    throwbench::throwAndCatch(state);
    crashreport::TExceptionLog::uninstall();
}

void BM_BuildAndLogOneReport(benchmark::State& state) {
    install(scratchFolder());
    crashreport::TExceptionLog* log = crashreport::TExceptionLog::instance();
    log->symbols(60000);  // the debug table loads once, in the background
    reportOne(*log, 30);  // the first report (not timed)
    for (auto _ : state) reportOne(*log, 30);
    crashreport::TExceptionLog::uninstall();
}

}  // namespace

BENCHMARK(BM_ThrowWithReporter)->Args({3, 0})->Args({30, 0})->Args({30, 1024});
BENCHMARK(BM_BuildAndLogOneReport)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_MAIN();
