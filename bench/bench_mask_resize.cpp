// The final mask resize (ResizeUcharMask, 288 x 160 to the frame size) against
// OpenCV's cv::resize with INTER_LINEAR on the same bytes, in one run. Each
// iteration times both calls by the thread's processor time (robust on a
// shared machine; OpenCV runs on this one thread, as the library does) and
// the counters give each routine's milliseconds per call and the ratio
// ours / OpenCV (at most 1: no slower). Two inputs: a network-like mask
// (soft person shape, mostly 0 and 255) and random bytes.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <random>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "common/cpu_features.h"
#include "resampling/rgb_process.h"

namespace {

constexpr int kSrcWidth = 288;
constexpr int kSrcHeight = 160;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::vector<uint8_t> Source(bool random) {
    std::mt19937 rng(3);
    std::vector<uint8_t> v(kSrcWidth * kSrcHeight);
    for (int y = 0; y < kSrcHeight; ++y) {
        for (int x = 0; x < kSrcWidth; ++x) {
            // Head and shoulders: an ellipse over a wide block, soft at the edge.
            const float hx = (x - 144) / 40.0f, hy = (y - 55) / 45.0f;
            const float head = 1.0f - (hx * hx + hy * hy);
            const float body = y > 95 ? 1.0f - static_cast<float>(x > 144 ? x - 144 : 144 - x) / 90.0f : -1.0f;
            const float p = (head > body ? head : body) * 12.0f;
            const int level = p <= 0.0f ? 0 : p >= 1.0f ? 255 : static_cast<int>(p * 255.0f);
            v[y * kSrcWidth + x] = static_cast<uint8_t>(random ? rng() : static_cast<uint32_t>(level));
        }
    }
    return v;
}

void BM_MaskResizeAgainstOpenCV(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const bool random = state.range(2) != 0;
    std::vector<uint8_t> src = Source(random);
    std::vector<uint8_t> ours(static_cast<size_t>(width) * height);
    const cv::Mat in(kSrcHeight, kSrcWidth, CV_8UC1, src.data());
    cv::Mat theirs(height, width, CV_8UC1);
    const ResizeGeometry g{kSrcWidth, kSrcHeight, width, height};
    rgbproc::RGBPROCESS p;
    double oursSeconds = 0.0, theirSeconds = 0.0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        p.ResizeUcharMask(src.data(), ours.data(), &g);
        const double t1 = ThreadSeconds();
        cv::resize(in, theirs, theirs.size(), 0.0, 0.0, cv::INTER_LINEAR);
        const double t2 = ThreadSeconds();
        oursSeconds += t1 - t0;
        theirSeconds += t2 - t1;
        benchmark::DoNotOptimize(ours.data());
        benchmark::DoNotOptimize(theirs.data);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = 1e3 * oursSeconds / n;
    state.counters["opencv_ms"] = 1e3 * theirSeconds / n;
    state.counters["ratio"] = oursSeconds / theirSeconds;
    state.SetLabel(vidra::CpuHasAvx2() ? "AVX2 kernels" : "baseline kernels");
}

}  // namespace

BENCHMARK(BM_MaskResizeAgainstOpenCV)
    ->ArgNames({"w", "h", "random"})
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Args({640, 480, 0})
    ->Args({1920, 1080, 0})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    cv::setNumThreads(1);  // one core for both
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
