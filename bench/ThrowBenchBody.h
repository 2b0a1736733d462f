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

// The same with bytes of locals in each frame, as the frames under a Qt event handler have.
__attribute__((noinline)) inline void throwThroughBallast(int depth, int bytes) {
    auto* ballast = static_cast<volatile char*>(__builtin_alloca(static_cast<size_t>(bytes)));
    ballast[depth % bytes] = static_cast<char>(depth);
    if (depth > 0) {
        throwThroughBallast(depth - 1, bytes);
        benchmark::DoNotOptimize(ballast[0]);
        return;
    }
    throw std::runtime_error("benchmark");
}

// range(0): frames between the catch and the throw; range(1): bytes of locals per frame (0: none).
inline void throwAndCatch(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const int bytes = static_cast<int>(state.range(1));
    for (auto _ : state) {
        try {
            if (bytes > 0)
                throwThroughBallast(depth, bytes);
            else
                throwIt(depth);
        } catch (const std::exception& e) {
            benchmark::DoNotOptimize(e.what());
        }
    }
}

}  // namespace throwbench
