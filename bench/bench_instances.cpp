// What the instance API adds per frame: the same frames through the global
// functions and through an instance, for full frames (the network runs) and
// skipped frames (the keyframe test finds no change; everything but the
// network), and the instance's input stage for each pixel format.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/bench_support.h"
#include "instances/image_adapter.h"
#include "instances/segmenter_instance.h"
#include "segmenter/class_ipu_plus.h"

namespace {

const char* const kModelDir = VIDRA_BENCH_MODEL_DIR;

// A random frame in the layout, rows packed; YUV planes one after the other.

struct Instance {
    Instance(int width, int height) {
        VidraSegmenterOptions options;
        VidraSegmenterOptionsInit(&options);
        options.width = width;
        options.height = height;
        options.modelPath = kModelDir;
        if (VidraSegmenterCreate(&options, &segmenter) != VIDRA_STATUS_OK) segmenter = nullptr;
    }
    ~Instance() { VidraSegmenterDestroy(segmenter); }
    VidraSegmenter* segmenter = nullptr;
};

// range: width, height, full (1) or skipped (0).
void BM_Global(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const bool full = state.range(2) != 0;
    const HostFrame frame(width, height, VIDRA_PIXEL_RGB24);
    std::vector<uint8_t> mask(static_cast<size_t>(width) * height);
    if (VidraCreateWithPath(width, height, VIDRA_FRAME_RGB24, kModelDir) != 0) {
        state.SkipWithError("creation failed: run `make models` first");
        return;
    }
    VidraFrameProcess(nullptr, frame.bytes.data(), mask.data());
    for (auto _ : state) {
        g_model.m_frameCounter = full ? 9 : 1;  // forced keyframe, or compared and unchanged
        benchmark::DoNotOptimize(VidraFrameProcess(nullptr, frame.bytes.data(), mask.data()));
    }
    VidraDestroy();
}

// range: width, height, full (1: reset first, so the network runs) or
// repeated (0: the same frame again, answered from the last mask nine times
// in ten), pixel format.
void BM_Instance(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const bool full = state.range(2) != 0;
    const HostFrame frame(width, height, static_cast<int32_t>(state.range(3)));
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height);
    const VidraMask mask{width, height, width, 0, bytes.data()};
    Instance instance(width, height);
    if (instance.segmenter == nullptr) {
        state.SkipWithError("creation failed: run `make models` first");
        return;
    }
    VidraSegmenterProcess(instance.segmenter, &frame.image, &mask);
    for (auto _ : state) {
        // full: a reset makes the next frame run the network; otherwise the
        // repeated frame is answered from the last mask (nine frames in ten).
        if (full) VidraSegmenterReset(instance.segmenter);
        benchmark::DoNotOptimize(VidraSegmenterProcess(instance.segmenter, &frame.image, &mask));
    }
}

// The global path's input stage (three channel resizes) against the
// instance's (one pass from the host's layout), each with the tensor preparation.
void BM_InputStageGlobal(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const HostFrame frame(width, height, VIDRA_PIXEL_RGB24);
    Instance instance(width, height);
    ipu::SegmenterCore& core = *instance.segmenter->core;
    const ResizeGeometry toInput{width, height, 288, 160};
    for (auto _ : state) {
        for (int c = 0; c < 3; ++c)
            core.Resampler().ResizeUcharChannel(frame.bytes.data() + c, core.ResizedFrame() + c, &toInput, 3);
        core.PrepareInput(3);
        benchmark::ClobberMemory();
    }
}

void BM_InputStageInstance(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const HostFrame frame(width, height, static_cast<int32_t>(state.range(2)));
    Instance instance(width, height);
    ipu::SegmenterCore& core = *instance.segmenter->core;
    instances::FrameView view;
    instances::AdaptImage(frame.image, view);
    for (auto _ : state) {
        core.PrepareInput(instance.segmenter->input.Resample(view, core.ResizedFrame()));
        benchmark::ClobberMemory();
    }
}

void Frames(benchmark::internal::Benchmark* b) { WebcamAndHdSizes(b, "full", {0, 1}, benchmark::kMillisecond); }

void InstanceFrames(benchmark::internal::Benchmark* b) {
    for (int full : {0, 1})
        for (int format : {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420}) {
            b->Args({640, 480, full, format});
            b->Args({1280, 720, full, format});
        }
    b->ArgNames({"w", "h", "full", "format"})->Unit(benchmark::kMillisecond);
}

void InputStages(benchmark::internal::Benchmark* b) {
    WebcamAndHdSizes(b, "format", {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420},
                     benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_Global)->Apply(Frames);
BENCHMARK(BM_Instance)->Apply(InstanceFrames);
BENCHMARK(BM_InputStageGlobal)->Args({640, 480})->Args({1280, 720})->ArgNames({"w", "h"})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InputStageInstance)->Apply(InputStages);

// An instance without a callback formats no log line; the global functions
// do, and that cost stays in their timings.
int main(int argc, char** argv) { return RunBenchmarksWithStdoutSilenced(argc, argv); }
