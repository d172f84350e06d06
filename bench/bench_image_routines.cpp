// The image routines at the sizes one frame uses, at every kernel tier this
// processor has (scalar reference, SSE2, AVX2, AVX-512), each through its
// kernel table as the library calls it; and the instances' input stage (host
// layout to the 288 x 160 network input) per pixel format, through the active
// tables (VIDRA_CPU_TIER selects the tier).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/cpu_features.h"
#include "instances/image_adapter.h"
#include "instances/network_input.h"
#include "postprocess/connection_filter.h"
#include "postprocess/mask_kernels.h"
#include "resampling/resize_kernels.h"
#include "resampling/yuv_kernels.h"

namespace {

namespace r = vidra::resampling;
namespace p = vidra::postprocess;
using vidra::CpuTier;

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

r::ResizeKernels ResizeTable(CpuTier tier) {
    r::ResizeKernels k{};
    r::FillResizeKernels(k, tier);
    return k;
}

p::MaskKernels MaskTable(CpuTier tier) {
    p::MaskKernels k{};
    p::FillMaskKernels(k, tier);
    return k;
}

const ResizeGeometry kFrameToNet{1280, 720, 288, 160};

void BM_BuildTables(benchmark::State& s, CpuTier tier) {
    const auto k = ResizeTable(tier);
    std::vector<int32_t> indices(2 * (288 + 160));
    std::vector<float> weights(indices.size());
    for (auto _ : s) {
        k.buildAxis(1280, 288, 3, indices.data(), indices.data() + 288, weights.data(), weights.data() + 288);
        k.buildAxis(720, 160, 3, indices.data() + 576, indices.data() + 736, weights.data() + 576,
                    weights.data() + 736);
        benchmark::DoNotOptimize(indices.data());
    }
}

// The final mask resize (tables built per call, as the routine does).
void BM_Mask(benchmark::State& s, CpuTier tier) {
    const auto k = ResizeTable(tier);
    const ResizeGeometry g{288, 160, static_cast<int>(s.range(0)), static_cast<int>(s.range(1))};
    const auto src = Bytes(288 * 160);
    std::vector<uint8_t> dst(static_cast<std::size_t>(g.dstWidth) * g.dstHeight);
    for (auto _ : s) {
        r::ResizeMaskPlane(k, src.data(), dst.data(), g);
        benchmark::DoNotOptimize(dst.data());
    }
}

// The three channels of a 1280 x 720 RGB frame to 288 x 160.
void BM_InputResize(benchmark::State& s, CpuTier tier) {
    const auto k = ResizeTable(tier);
    const auto src = Bytes(1280 * 720 * 3);
    std::vector<uint8_t> dst(288 * 160 * 3);
    for (auto _ : s) {
        r::ResizePixelPlane(k, src.data(), dst.data(), kFrameToNet, 3);
        benchmark::DoNotOptimize(dst.data());
    }
}

// The network output plane (144 x 80) to the mask size.
void BM_ResizeFloat(benchmark::State& s, CpuTier tier) {
    const auto k = ResizeTable(tier);
    const auto src = Probabilities(144, 80);
    std::vector<float> dst(288 * 160);
    for (auto _ : s) {
        r::ResizeFloatPlane(k, src.data(), dst.data(), {144, 80, 288, 160});
        benchmark::DoNotOptimize(dst.data());
    }
}

// The samples of the input resize from a 1280-wide NV12 row, 320 rows a frame.
void BM_YuvRows(benchmark::State& s, CpuTier tier) {
    r::YuvKernels k{};
    r::FillYuvKernels(k, tier);
    const auto luma = Bytes(1280), chroma = Bytes(1280);
    std::vector<int32_t> i0(288), i1(288), cols;
    std::vector<float> w0(288), w1(288);
    r::BuildAxisScalar(1280, 288, 1, i0.data(), i1.data(), w0.data(), w1.data());
    for (int x = 0; x < 288; ++x) cols.push_back(i0[x]), cols.push_back(i1[x]);
    std::vector<uint8_t> rgb(cols.size() * 3);
    const r::YuvRow row{luma.data(), chroma.data(), chroma.data() + 1, 2};
    for (auto _ : s) {
        for (int y = 0; y < 320; ++y) k.gatherRow(row, cols.data(), static_cast<int32_t>(cols.size()), rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
}

void BM_Logistic(benchmark::State& s, CpuTier tier) {
    const auto k = MaskTable(tier);
    const auto logits = Probabilities(288, 160);
    std::vector<float> v(logits.size());
    for (auto _ : s) {
        s.PauseTiming();
        v = logits;
        s.ResumeTiming();
        k.logistic(v.data(), v.size());
        benchmark::DoNotOptimize(v.data());
    }
}

void BM_Blur(benchmark::State& s, CpuTier tier) {
    const auto k = MaskTable(tier);
    const auto src = Probabilities(288, 160);
    std::vector<float> dst(src.size());
    for (auto _ : s) {
        k.blurInterior(src.data(), dst.data(), 288, 160);
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

// A random frame in the format, rows packed, YUV planes one after the other.

// NetworkInput::Resample: the whole difference between the pixel formats.
void BM_NetworkInput(benchmark::State& s) {
    const int width = static_cast<int>(s.range(0)), height = static_cast<int>(s.range(1));
    const HostFrame frame(width, height, static_cast<int32_t>(s.range(2)));
    instances::FrameView view;
    if (instances::AdaptImage(frame.image, view) != VIDRA_STATUS_OK) {
        s.SkipWithError("frame refused");
        return;
    }
    rgbproc::RGBPROCESS resampler;
    instances::NetworkInput input;
    input.Prepare(resampler, width, height);
    std::vector<uint8_t> resized(288 * 160 * 4);
    for (auto _ : s) {
        benchmark::DoNotOptimize(input.Resample(view, resized.data()));
        benchmark::ClobberMemory();
    }
    s.SetLabel(vidra::CpuTierName(vidra::ActiveCpuTier()));
}

}  // namespace

int main(int argc, char** argv) {
    for (int32_t t = 0; t <= static_cast<int32_t>(vidra::DetectedCpuTier()); ++t) {
        const auto tier = static_cast<CpuTier>(t);
        const std::string n = std::string("/") + vidra::CpuTierName(tier);
        benchmark::RegisterBenchmark(("BM_BuildTables" + n).c_str(), BM_BuildTables, tier);
        benchmark::RegisterBenchmark(("BM_Mask" + n).c_str(), BM_Mask, tier)
            ->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_InputResize" + n).c_str(), BM_InputResize, tier)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_ResizeFloat" + n).c_str(), BM_ResizeFloat, tier)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_YuvRows" + n).c_str(), BM_YuvRows, tier)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_Logistic" + n).c_str(), BM_Logistic, tier)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_Blur" + n).c_str(), BM_Blur, tier)->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("BM_KeepLargestComponent", BM_KeepLargestComponent)->Unit(benchmark::kMicrosecond);
    auto* input = benchmark::RegisterBenchmark("BM_NetworkInput", BM_NetworkInput);
    for (int format : {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420}) {
        input->Args({1280, 720, format});
        input->Args({640, 480, format});
    }
    input->ArgNames({"w", "h", "format"})->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
