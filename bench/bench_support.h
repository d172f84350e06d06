// Pieces shared by the benchmark programs of the segmenter's frames.
#ifndef VIDRA_BENCH_BENCH_SUPPORT_H
#define VIDRA_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iostream>
#include <random>
#include <vector>

#include "vidra_core.h"

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

// A host frame of random bytes in any VidraPixelFormat, rows packed
// (NV12/I420: the planes one after the other, even sizes).
struct HostFrame {
    HostFrame(int width, int height, int32_t format) {
        const bool yuv = format == VIDRA_PIXEL_NV12 || format == VIDRA_PIXEL_I420;
        const int bpp = format == VIDRA_PIXEL_RGBA32 || format == VIDRA_PIXEL_BGRA32 ? 4 : 3;
        const size_t luma = static_cast<size_t>(width) * height;
        bytes.resize(yuv ? luma + 2 * (luma / 4) : luma * bpp);
        std::mt19937 random(7);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        image.width = width;
        image.height = height;
        image.format = format;
        image.planes[0] = bytes.data();
        image.strides[0] = yuv ? width : width * bpp;
        if (yuv) {
            image.planes[1] = bytes.data() + luma;
            image.strides[1] = format == VIDRA_PIXEL_NV12 ? width : width / 2;
            image.planes[2] = format == VIDRA_PIXEL_I420 ? bytes.data() + luma + luma / 4 : nullptr;
            image.strides[2] = width / 2;
        }
    }
    std::vector<uint8_t> bytes;
    VidraImage image{};
};

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
