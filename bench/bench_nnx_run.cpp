// NNXRun on the default segmentation model (1x3x160x288 in, 1x2x80x144 out):
// run-model type 0 (the caller's thread only, what the segmenter uses) and
// type 2 (two intra-op threads) for comparison. Wall-clock time per run.
//
//   build/linux/bin/bench_nnx_run [--benchmark options]
//   VIDRA_BENCH_MODEL=<file.tesk> overrides the model.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vidra.h"

namespace {

std::string ModelPath() {
    if (const char* path = std::getenv("VIDRA_BENCH_MODEL")) return path;
    return std::string(VIDRA_BENCH_MODEL_DIR) + "/model_144x80_2ch_nosig_sim_f32.tesk";
}

void BM_NNXRun(benchmark::State& state) {
    const std::string path = ModelPath();
    NnxModel model;
    std::memset(&model, 0, sizeof model);
    if (NNXPreparePlus(path.c_str(), static_cast<int32_t>(state.range(0)), &model) != 0) {
        state.SkipWithError(("cannot prepare " + path + " (make models)").c_str());
        return;
    }
    const std::size_t inputCount = std::size_t(model.inputDim0[0]) * model.inputDim1[0] * model.inputDim2[0] *
                                   model.inputDim3[0];
    const std::size_t outputCount = std::size_t(model.outputDim0[0]) * model.outputDim1[0] *
                                    model.outputDim2[0] * model.outputDim3[0];
    // A frame-like input: raw byte values in three planes.
    std::vector<float> input(inputCount), output(outputCount);
    for (std::size_t i = 0; i < inputCount; ++i) input[i] = static_cast<float>((i * 7 + i / 288 * 3) % 256);
    if (NNXRun(&model, input.data(), output.data()) != 0) {
        state.SkipWithError("NNXRun failed");
        NNXRelease(&model);
        return;
    }
    for (auto _ : state) {
        if (NNXRun(&model, input.data(), output.data()) != 0) {
            state.SkipWithError("NNXRun failed");
            break;
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.counters["runs_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
    NNXRelease(&model);
}

// Type 0 first: it is the figure the reference comparison reads.
BENCHMARK(BM_NNXRun)->ArgName("run_type")->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
