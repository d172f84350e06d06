// The library's resizes against OpenCV's cv::resize (INTER_LINEAR) on the
// same bytes, in one run, at every kernel tier this processor has:
//  - the final mask resize (ResizeUcharMask: 288 x 160 to the frame size),
//    on a network-like mask (soft person shape, mostly 0 and 255) and on
//    random bytes;
//  - the input resize (a 1280 x 720 or 640 x 480 RGB frame to the 288 x 160
//    network input: ResizeUcharPixels, as the frame path calls it) against
//    cv::resize of the three-channel image.
// Each iteration times both calls by the thread's processor time (robust on
// a shared machine; OpenCV runs on this one thread, as the library does).
// Counters: each side's milliseconds per call and ratio = ours / OpenCV (at
// most 1: no slower). OpenCV picks its own best instructions (AVX-512 here);
// the label names our tier.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "common/cpu_features.h"
#include "resampling/resize_kernels.h"

namespace {

namespace r = vidra::resampling;

constexpr int kMaskWidth = 288;
constexpr int kMaskHeight = 160;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::vector<uint8_t> MaskSource(bool random) {
    std::mt19937 rng(3);
    std::vector<uint8_t> v(kMaskWidth * kMaskHeight);
    for (int y = 0; y < kMaskHeight; ++y) {
        for (int x = 0; x < kMaskWidth; ++x) {
            // Head and shoulders: an ellipse over a wide block, soft at the edge.
            const float hx = (x - 144) / 40.0f, hy = (y - 55) / 45.0f;
            const float head = 1.0f - (hx * hx + hy * hy);
            const float body = y > 95 ? 1.0f - static_cast<float>(x > 144 ? x - 144 : 144 - x) / 90.0f : -1.0f;
            const float p = (head > body ? head : body) * 12.0f;
            const int level = p <= 0.0f ? 0 : p >= 1.0f ? 255 : static_cast<int>(p * 255.0f);
            v[y * kMaskWidth + x] = static_cast<uint8_t>(random ? rng() : static_cast<uint32_t>(level));
        }
    }
    return v;
}

// A camera-like frame: smooth gradients with noise.
std::vector<uint8_t> Frame(int width, int height) {
    std::mt19937 rng(5);
    std::vector<uint8_t> v(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                v[(static_cast<size_t>(y) * width + x) * 3 + c] =
                    static_cast<uint8_t>((x * (c + 1) / 5 + y * (3 - c) / 4 + rng() % 24) & 0xFF);
    return v;
}

// Times ours() and theirs() in the same iterations, each on this thread's
// CPU clock, and reports both and their ratio.
template <class Ours, class Theirs>
void TimeAgainstOpenCV(benchmark::State& state, vidra::CpuTier tier, Ours ours, Theirs theirs) {
    double oursSeconds = 0.0, theirSeconds = 0.0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        ours();
        const double t1 = ThreadSeconds();
        theirs();
        const double t2 = ThreadSeconds();
        oursSeconds += t1 - t0;
        theirSeconds += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = 1e3 * oursSeconds / n;
    state.counters["opencv_ms"] = 1e3 * theirSeconds / n;
    state.counters["ratio"] = oursSeconds / theirSeconds;
    state.SetLabel(vidra::CpuTierName(tier));
}

void BM_MaskResize(benchmark::State& state, vidra::CpuTier tier) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::vector<uint8_t> src = MaskSource(state.range(2) != 0);
    std::vector<uint8_t> ours(static_cast<size_t>(width) * height);
    const cv::Mat in(kMaskHeight, kMaskWidth, CV_8UC1, const_cast<uint8_t*>(src.data()));
    cv::Mat theirs(height, width, CV_8UC1);
    const ResizeGeometry g{kMaskWidth, kMaskHeight, width, height};
    r::ResizeKernels k{};
    r::FillResizeKernels(k, tier);
    TimeAgainstOpenCV(
        state, tier,
        [&] {
            r::ResizeMaskPlane(k, src.data(), ours.data(), g);
            benchmark::DoNotOptimize(ours.data());
        },
        [&] {
            cv::resize(in, theirs, theirs.size(), 0.0, 0.0, cv::INTER_LINEAR);
            benchmark::DoNotOptimize(theirs.data);
        });
}

void BM_InputResize(benchmark::State& state, vidra::CpuTier tier) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::vector<uint8_t> frame = Frame(width, height);
    std::vector<uint8_t> ours(static_cast<size_t>(kMaskWidth) * kMaskHeight * 3);
    const cv::Mat in(height, width, CV_8UC3, const_cast<uint8_t*>(frame.data()));
    cv::Mat theirs(kMaskHeight, kMaskWidth, CV_8UC3);
    const ResizeGeometry g{width, height, kMaskWidth, kMaskHeight};
    r::ResizeKernels k{};
    r::FillResizeKernels(k, tier);
    TimeAgainstOpenCV(
        state, tier,
        [&] {
            r::ResizePixelPlane(k, frame.data(), ours.data(), g, 3);
            benchmark::DoNotOptimize(ours.data());
        },
        [&] {
            cv::resize(in, theirs, theirs.size(), 0.0, 0.0, cv::INTER_LINEAR);
            benchmark::DoNotOptimize(theirs.data);
        });
}

}  // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);  // one core for both
    for (int32_t t = 1; t <= static_cast<int32_t>(vidra::DetectedCpuTier()); ++t) {
        const auto tier = static_cast<vidra::CpuTier>(t);
        const std::string name = vidra::CpuTierName(tier);
        benchmark::RegisterBenchmark(("BM_MaskResize/" + name).c_str(), BM_MaskResize, tier)
            ->ArgNames({"w", "h", "random"})
            ->Args({1280, 720, 0})
            ->Args({1280, 720, 1})
            ->Args({640, 480, 0})
            ->Args({1920, 1080, 0})
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_InputResize/" + name).c_str(), BM_InputResize, tier)
            ->ArgNames({"w", "h"})
            ->Args({1280, 720})
            ->Args({640, 480})
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
