// Pieces shared by the benchmark programs of the segmenter's frames.
#ifndef VIDRA_BENCH_BENCH_SUPPORT_H
#define VIDRA_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <iostream>

// The webcam and HD frame sizes, each with every value of a third argument:
// (640, 480, v) and (1280, 720, v) in the order of values.
inline void WebcamAndHdSizes(benchmark::internal::Benchmark* b, const char* third,
                             std::initializer_list<int> values, benchmark::TimeUnit unit) {
    for (int v : values) {
        b->Args({640, 480, v});
        b->Args({1280, 720, v});
    }
    b->ArgNames({"w", "h", third})->Unit(unit);
}

// main() of programs that call the global functions, which log every frame
// to stdout: stdout goes to the null device (the logging's cost stays in the
// timings) and the report to stderr, so that it stays readable.
inline int RunBenchmarksWithStdoutSilenced(int argc, char** argv) {
    std::fflush(stdout);
    FILE* sink = std::freopen("/dev/null", "w", stdout);
    (void)sink;
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

#endif
