#pragma once
// The thrown-and-caught exception both throw benchmarks time: the same code in
// an executable with the crash reporter and in one without it.
#include <benchmark/benchmark.h>

#include <stdexcept>

namespace throwbench {

// Throws from depth frames below the caller.
__attribute__((noinline)) inline void throwIt(int depth) {
    if (depth > 0) {
        throwIt(depth - 1);
        benchmark::ClobberMemory();
        return;
    }
    throw std::runtime_error("benchmark");
}

inline void throwAndCatch(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    for (auto _ : state) {
        try {
            throwIt(depth);
        } catch (const std::exception& e) {
            benchmark::DoNotOptimize(e.what());
        }
    }
}

}  // namespace throwbench
