// Per-frame cost of the segmenter at webcam and HD sizes, for full frames
// (the network runs) and skipped frames (the keyframe test finds no change),
// and the cost of each stage of a frame on its own.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "segmenter/class_ipu_plus.h"

namespace {

const char* const kModelDir = VIDRA_BENCH_MODEL_DIR;

// Creates g_model for the size and type, with the library's log lines sent
// to the null device (they would otherwise dominate the timings).
struct Session {
    Session(int width, int height, int frameType) : frame(static_cast<size_t>(width) * height * (frameType == 1 ? 3 : 4)),
                                                    mask(static_cast<size_t>(width) * height) {
        std::mt19937 random(7);
        for (auto& byte : frame) byte = static_cast<uint8_t>(random());
        ok = VidraCreateWithPath(width, height, frameType, kModelDir) == 0;
    }
    ~Session() { VidraDestroy(); }
    std::vector<uint8_t> frame;
    std::vector<uint8_t> mask;
    bool ok = false;
};

void SetUp(benchmark::State& state, Session& session) {
    if (!session.ok) state.SkipWithError("creation failed: run `make models` first");
}

void BM_FrameFull(benchmark::State& state) {
    Session session(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    SetUp(state, session);
    for (auto _ : state) {
        g_model.m_frameCounter = 9;  // the next frame is a forced keyframe
        benchmark::DoNotOptimize(VidraFrameProcess(nullptr, session.frame.data(), session.mask.data()));
    }
}

void BM_FrameSkipped(benchmark::State& state) {
    Session session(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    SetUp(state, session);
    VidraFrameProcess(nullptr, session.frame.data(), session.mask.data());
    for (auto _ : state) {
        g_model.m_frameCounter = 1;  // a compared frame, identical to the keyframe
        benchmark::DoNotOptimize(VidraFrameProcess(nullptr, session.frame.data(), session.mask.data()));
    }
}

enum Stage { kInputResize, kPreparation, kKeyframeTest, kInference, kPostProcess, kFinalResize };

void BM_Stage(benchmark::State& state, Stage stage) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const int frameType = static_cast<int>(state.range(2));
    Session session(width, height, frameType);
    SetUp(state, session);
    VidraFrameProcess(nullptr, session.frame.data(), session.mask.data());
    ipu::ClassIPUPlus& m = g_model;
    const int step = frameType == 1 ? m.m_rgbStep : m.m_rgbaStep;
    const ResizeGeometry toInput{width, height, 288, 160};
    const ResizeGeometry toThumb{288, 160, 36, 20};
    const ResizeGeometry toFrame{m.m_params.maskWidth, m.m_params.maskHeight, width, height};
    std::vector<uint8_t> thumb(720);
    const uint64_t n = 720;
    for (auto _ : state) {
        switch (stage) {
            case kInputResize:
                for (int c = 0; c < 3; ++c) m.ResizeUcharChannel(session.frame.data() + c, m.m_resizedFrame + c, &toInput, step);
                break;
            case kPreparation:
                if (frameType == 1) m.PreprocessRGB(m.m_resizedFrame, m.m_inputTensor, 288, 160);
                else m.PreprocessRGBA(m.m_resizedFrame, m.m_inputTensor, 288, 160);
                break;
            case kKeyframeTest:
                m.ResizeUcharMask(m.m_lumaImage, thumb.data(), &toThumb);
                benchmark::DoNotOptimize(CosineSimilarity(m.m_keyframe8x, thumb.data(), n));
                break;
            case kInference:
                benchmark::DoNotOptimize(NNXRun(m.m_nnxModel, m.m_inputTensor, m.m_outputTensor));
                break;
            case kPostProcess:  // every stage of post-processing, the final resize included
                benchmark::DoNotOptimize(m.PostProcess(m.m_outputTensor, session.mask.data(), false));
                break;
            case kFinalResize:
                m.ResizeUcharMask(m.m_maskBytes, session.mask.data(), &toFrame);
                break;
        }
        benchmark::ClobberMemory();
    }
}

void Sizes(benchmark::internal::Benchmark* b) { WebcamAndHdSizes(b, "type", {1, 2}, benchmark::kMillisecond); }

}  // namespace

BENCHMARK(BM_FrameFull)->Apply(Sizes);
BENCHMARK(BM_FrameSkipped)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Stage, input_resize, kInputResize)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Stage, preparation, kPreparation)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Stage, keyframe_test, kKeyframeTest)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Stage, inference, kInference)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Stage, post_process, kPostProcess)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Stage, final_resize, kFinalResize)->Apply(Sizes);

int main(int argc, char** argv) { return RunBenchmarksWithStdoutSilenced(argc, argv); }
