// The baseline of the throw benchmark: the same throw in an executable without
// the crash reporter, so the runtime's own throw entry runs (no interposed hook).
#include "bench/ThrowBenchBody.h"

namespace {

void BM_ThrowWithoutReporter(benchmark::State& state) { throwbench::throwAndCatch(state); }

}  // namespace

BENCHMARK(BM_ThrowWithoutReporter)->Args({3, 0})->Args({30, 0})->Args({30, 1024});
BENCHMARK_MAIN();
