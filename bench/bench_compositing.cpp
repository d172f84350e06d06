// Compositing and mask refinement per frame, through the exported functions
// (the kernels the processor allows) and with the scalar kernels, on one
// core, for RGB24 and the YUV camera formats. Frames are noise; the mask is a soft-edged person shape, mostly 0
// and 255 as the segmenter delivers.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "common/dispatch.h"
#include "compositing/composite.h"
#include "compositing/refine_mask.h"
#include "compositing/row_kernels.h"
#include "vidra.h"

namespace {

namespace c = vidra::compositing;

// An image of the format over contiguous planes in `bytes`.
VidraImage ImageOver(std::vector<uint8_t>& bytes, int w, int h, int32_t format) {
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    uint8_t* p = bytes.data();
    switch (format) {
        case VIDRA_PIXEL_NV12:
            return {w, h, format, 0, {p, p + static_cast<size_t>(w) * h, nullptr}, {w, 2 * cw, 0}};
        case VIDRA_PIXEL_I420: {
            uint8_t* u = p + static_cast<size_t>(w) * h;
            return {w, h, format, 0, {p, u, u + static_cast<size_t>(cw) * ch}, {w, cw, cw}};
        }
        default: {
            const int bpp = format == VIDRA_PIXEL_RGB24 || format == VIDRA_PIXEL_BGR24 ? 3 : 4;
            return {w, h, format, 0, {p, nullptr, nullptr}, {w * bpp, 0, 0}};
        }
    }
}

struct Scene {
    Scene(int w, int h, int32_t format)
        : frame(static_cast<size_t>(w) * h * 4), back(frame.size()), out(frame.size()),
          mask(static_cast<size_t>(w) * h) {
        std::mt19937 rng(1);
        for (auto& b : frame) b = static_cast<uint8_t>(rng());
        for (auto& b : back) b = static_cast<uint8_t>(rng());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float dx = (x - w / 2.0f) / (0.25f * w), dy = (y - 0.7f * h) / (0.6f * h);
                const float d = dx * dx + dy * dy;
                mask[static_cast<size_t>(y) * w + x] =
                    static_cast<uint8_t>(d < 0.9f ? 255 : d > 1.1f ? 0 : (1.1f - d) / 0.2f * 255);
            }
        frameImage = ImageOver(frame, w, h, format);
        backImage = ImageOver(back, w, h, format);
        outImage = ImageOver(out, w, h, format);
        maskView = {w, h, w, 0, mask.data()};
    }
    std::vector<uint8_t> frame, back, out, mask;
    VidraImage frameImage, backImage, outImage;
    VidraMask maskView;
};

// Arguments: width, height, background kind, strength, frame format (the
// output's too; RGBA32 for TRANSPARENT); scalar kernels when asked.
void Composite(benchmark::State& s, bool scalar) {
    const int w = static_cast<int>(s.range(0)), h = static_cast<int>(s.range(1));
    const int32_t kind = static_cast<int32_t>(s.range(2));
    const int32_t format = static_cast<int32_t>(s.range(4));
    Scene scene(w, h, format);
    if (kind == VIDRA_BACKGROUND_TRANSPARENT) scene.outImage = ImageOver(scene.out, w, h, VIDRA_PIXEL_RGBA32);
    VidraCompositeOptions o{};
    o.structSize = sizeof o;
    o.background = kind;
    o.blurStrength = static_cast<int32_t>(s.range(3));
    o.image = &scene.backImage;
    size_t bytes = 0;
    VidraCompositeScratchSize(w, h, &o, &bytes);
    std::vector<uint8_t> scratch(bytes);
    const c::YuvKernels scalarYuv = vidra::KernelsForTier<c::YuvKernels, c::FillYuvKernels>(vidra::CpuTier::kScalar);
    for (auto _ : s) {
        if (scalar)
            c::CompositeChecked(scene.frameImage, scene.maskView, o, scene.outImage, scratch.data(), bytes,
                                c::ScalarRowKernels(), scalarYuv);
        else if (VidraComposite(&scene.frameImage, &scene.maskView, &o, &scene.outImage, scratch.data(), bytes) != 0)
            s.SkipWithError("VidraComposite failed");
        benchmark::DoNotOptimize(scene.out.data());
    }
}
void BM_Composite(benchmark::State& s) { Composite(s, false); }
void BM_Composite_Scalar(benchmark::State& s) { Composite(s, true); }

// Arguments: width, height, radius (0 = default).
void Refine(benchmark::State& s, bool scalar) {
    const int w = static_cast<int>(s.range(0)), h = static_cast<int>(s.range(1));
    Scene scene(w, h, VIDRA_PIXEL_RGB24);
    std::vector<uint8_t> refined(scene.mask.size());
    VidraMask out{w, h, w, 0, refined.data()};
    const VidraRefineOptions o{sizeof(VidraRefineOptions), static_cast<int32_t>(s.range(2)), 0.0f};
    size_t bytes = 0;
    VidraRefineScratchSize(w, h, &o, &bytes);
    std::vector<uint8_t> scratch(bytes);
    const c::RefinePlan plan = c::PlanRefine(w, h, &o);
    for (auto _ : s) {
        if (scalar)
            c::RefineChecked(scene.frameImage, scene.maskView, plan, out, scratch.data(), bytes, c::ScalarRowKernels());
        else if (VidraRefineMask(&scene.frameImage, &scene.maskView, &o, &out, scratch.data(), bytes) != 0)
            s.SkipWithError("VidraRefineMask failed");
        benchmark::DoNotOptimize(refined.data());
    }
}
void BM_Refine(benchmark::State& s) { Refine(s, false); }
void BM_Refine_Scalar(benchmark::State& s) { Refine(s, true); }

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "kind", "strength", "format"});
    // Blur at the tool's default strength (shorter side / 40), a small and a
    // large one; RGB24 and the camera formats NV12 and I420.
    for (int32_t format : {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420})
        for (auto wh : {std::pair<int, int>{1920, 1080}, {1280, 720}}) {
            b->Args({wh.first, wh.second, VIDRA_BACKGROUND_BLUR, wh.second / 40, format});
            if (format == VIDRA_PIXEL_I420) continue;
            b->Args({wh.first, wh.second, VIDRA_BACKGROUND_BLUR, 4, format});
            b->Args({wh.first, wh.second, VIDRA_BACKGROUND_BLUR, 100, format});
        }
    for (int32_t format : {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_NV12})
        for (int32_t kind : {VIDRA_BACKGROUND_COLOR, VIDRA_BACKGROUND_IMAGE, VIDRA_BACKGROUND_TRANSPARENT}) {
            b->Args({1920, 1080, kind, 0, format});
            b->Args({1280, 720, kind, 0, format});
        }
    b->Unit(benchmark::kMillisecond);
}
void RefineSizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "radius"});
    b->Args({1920, 1080, 0})->Args({1280, 720, 0})->Args({1920, 1080, 60})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Composite)->Apply(Sizes);
BENCHMARK(BM_Composite_Scalar)->Apply(Sizes);
BENCHMARK(BM_Refine)->Apply(RefineSizes);
BENCHMARK(BM_Refine_Scalar)->Apply(RefineSizes);

BENCHMARK_MAIN();
