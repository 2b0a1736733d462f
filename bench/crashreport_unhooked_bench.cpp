// The baseline of the throw benchmark: the same throw in an executable without
// the crash reporter, so the runtime's own throw entry runs (no interposed hook).
#include "bench/ThrowBenchBody.h"

namespace {

void BM_ThrowWithoutReporter(benchmark::State& state) { throwbench::throwAndCatch(state); }

}  // namespace

BENCHMARK(BM_ThrowWithoutReporter)->Arg(3)->Arg(30);
BENCHMARK_MAIN();
