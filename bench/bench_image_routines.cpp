// The image routines at the sizes one frame uses: each routine as the library
// calls it (AVX2 kernels where the processor has them), its baseline SSE2
// kernels and its scalar kernels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "postprocess/blur_mask.h"
#include "postprocess/connection_filter.h"
#include "postprocess/logistic.h"
#include "resampling/resize_kernels.h"
#include "resampling/rgb_process.h"

namespace {

namespace k = rgbproc::kernels;

std::vector<uint8_t> Bytes(std::size_t n) {
    std::mt19937 rng(1);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// A soft disc of probabilities with noise: a mask like the network's.
std::vector<float> Probabilities(int w, int h) {
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> noise(-0.2f, 0.2f);
    std::vector<float> v(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (x - w / 2) / (0.3f * w), dy = (y - h / 2) / (0.4f * h);
            v[y * w + x] = (dx * dx + dy * dy < 1.0f ? 0.9f : 0.05f) + noise(rng);
        }
    return v;
}

struct Tables {
    explicit Tables(const ResizeGeometry& g)
        : indices(2 * (g.dstWidth + g.dstHeight)), weights(indices.size()) {
        view = {indices.data(), weights.data(), g.dstWidth, g.dstHeight};
    }
    std::vector<int32_t> indices;
    std::vector<float> weights;
    rgbproc::ResizeTables view;
};

const ResizeGeometry kFrameToNet{1280, 720, 288, 160};

void BM_BuildTables_Vector(benchmark::State& s) {
    rgbproc::RGBPROCESS p;
    Tables t(kFrameToNet);
    for (auto _ : s) {
        p.BuildResizeTables(t.view.indices, t.view.weights, &kFrameToNet, 3);
        benchmark::DoNotOptimize(t.indices.data());
    }
}
void BM_BuildTables_Scalar(benchmark::State& s) {
    Tables t(kFrameToNet);
    for (auto _ : s) {
        k::BuildResizeTablesScalar(t.view.indices, t.view.weights, &kFrameToNet, 3);
        benchmark::DoNotOptimize(t.indices.data());
    }
}

enum class MaskPath { kRoutine, kSse, kScalar };

void BM_Mask(benchmark::State& s, MaskPath path) {
    const ResizeGeometry g{288, 160, static_cast<int>(s.range(0)), static_cast<int>(s.range(1))};
    const auto src = Bytes(288 * 160);
    std::vector<uint8_t> dst(static_cast<std::size_t>(g.dstWidth) * g.dstHeight);
    rgbproc::RGBPROCESS p;
    for (auto _ : s) {
        if (path == MaskPath::kRoutine) {
            p.ResizeUcharMask(src.data(), dst.data(), &g);
        } else {
            Tables t(g);  // the routine builds its tables on every call too
            k::BuildResizeTablesScalar(t.view.indices, t.view.weights, &g, 1);
            if (path == MaskPath::kSse) k::ResizeMaskSse(t.view, src.data(), dst.data(), g.srcWidth);
            else k::ResizeMaskScalar(t.view, src.data(), dst.data(), g.srcWidth);
        }
        benchmark::DoNotOptimize(dst.data());
    }
}

// One channel of a 1280 x 720 three-byte frame to 288 x 160.
void BM_Channel_Vector(benchmark::State& s) {
    const auto src = Bytes(1280 * 720 * 3);
    std::vector<uint8_t> dst(288 * 160 * 3);
    rgbproc::RGBPROCESS p;
    for (auto _ : s) {
        p.ResizeUcharChannel(src.data(), dst.data(), &kFrameToNet, 3);
        benchmark::DoNotOptimize(dst.data());
    }
}
void BM_Channel_Scalar(benchmark::State& s) {
    const auto src = Bytes(1280 * 720 * 3);
    std::vector<uint8_t> dst(288 * 160 * 3);
    for (auto _ : s) {
        Tables t(kFrameToNet);
        k::BuildResizeTablesScalar(t.view.indices, t.view.weights, &kFrameToNet, 3);
        for (int y = 0; y < 160; ++y) {
            k::ChannelRowScalar(src.data() + t.view.y0()[y] * 1280, src.data() + t.view.y1()[y] * 1280,
                                t.view, y, 3, 0, 288, dst.data() + y * 288 * 3);
        }
        benchmark::DoNotOptimize(dst.data());
    }
}

void BM_ResizeFloat_Vector(benchmark::State& s) {
    const auto src = Probabilities(144, 80);
    std::vector<float> dst(288 * 160);
    const ResizeGeometry g{144, 80, 288, 160};
    rgbproc::RGBPROCESS p;
    for (auto _ : s) {
        p.ResizeFloat(src.data(), dst.data(), &g);
        benchmark::DoNotOptimize(dst.data());
    }
}
void BM_ResizeFloat_Rows(benchmark::State& s, bool sse) {
    const auto src = Probabilities(144, 80);
    std::vector<float> dst(288 * 160);
    const auto cols = k::MakeFloatAxis(144, 288);
    const auto rows = k::MakeFloatAxis(80, 160);
    for (auto _ : s) {
        for (int y = 0; y < 160; ++y) {
            const auto row = k::MakeFloatRow(src.data(), 144, rows, y);
            if (sse) k::FloatRowSse(row, cols, 288, dst.data() + y * 288);
            else k::FloatRowScalar(row, cols, 0, 288, dst.data() + y * 288);
        }
        benchmark::DoNotOptimize(dst.data());
    }
}

// The forms of a routine share one body; the routine is the argument.
void BM_Logistic(benchmark::State& s, void (*logistic)(float*, std::size_t)) {
    const auto logits = Probabilities(288, 160);
    std::vector<float> v(logits.size());
    for (auto _ : s) {
        s.PauseTiming();
        v = logits;
        s.ResumeTiming();
        logistic(v.data(), v.size());
        benchmark::DoNotOptimize(v.data());
    }
}

void BM_Blur(benchmark::State& s, void (*blur)(const float*, float*, int32_t, int32_t)) {
    const auto src = Probabilities(288, 160);
    std::vector<float> dst(src.size());
    for (auto _ : s) {
        blur(src.data(), dst.data(), 288, 160);
        benchmark::DoNotOptimize(dst.data());
    }
}

void BM_KeepLargestComponent(benchmark::State& s) {
    const auto mask = Probabilities(288, 160);
    std::vector<float> v(mask.size());
    connection::ConnetionFilter f;
    for (auto _ : s) {
        s.PauseTiming();
        v = mask;
        s.ResumeTiming();
        benchmark::DoNotOptimize(f.KeepLargestComponent(v.data()));
    }
}

}  // namespace

BENCHMARK(BM_BuildTables_Vector);
BENCHMARK(BM_BuildTables_Scalar);
BENCHMARK_CAPTURE(BM_Mask, routine, MaskPath::kRoutine)->Args({640, 480})->Args({1280, 720});
BENCHMARK_CAPTURE(BM_Mask, sse, MaskPath::kSse)->Args({640, 480})->Args({1280, 720});
BENCHMARK_CAPTURE(BM_Mask, scalar, MaskPath::kScalar)->Args({640, 480})->Args({1280, 720});
BENCHMARK(BM_Channel_Vector);
BENCHMARK(BM_Channel_Scalar);
BENCHMARK(BM_ResizeFloat_Vector);
BENCHMARK_CAPTURE(BM_ResizeFloat_Rows, sse, true);
BENCHMARK_CAPTURE(BM_ResizeFloat_Rows, scalar, false);
BENCHMARK_CAPTURE(BM_Logistic, routine, LogisticInPlace);
BENCHMARK_CAPTURE(BM_Logistic, sse, LogisticInPlaceSse);
BENCHMARK_CAPTURE(BM_Logistic, scalar, LogisticInPlaceScalar);
BENCHMARK_CAPTURE(BM_Blur, routine, BlurMask);
BENCHMARK_CAPTURE(BM_Blur, sse, BlurMaskSse);
BENCHMARK_CAPTURE(BM_Blur, scalar, BlurMaskScalar);
BENCHMARK(BM_KeepLargestComponent);

BENCHMARK_MAIN();
