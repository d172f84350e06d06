#include "engine/session_options.h"

#include <cstdio>

namespace tesk {

ort::SessionOptions* MakeSessionOptions(std::int32_t runModelType) {
    if (runModelType < 0 || runModelType > kMaxRunModelType) {
        std::fprintf(stderr, "tesk: run-model type %d is not supported\n", static_cast<int>(runModelType));
        return nullptr;
    }
    ort::SessionOptions* options = nullptr;
    if (!ort::Check(ort::CreateSessionOptions(&options), "session options")) return nullptr;
    const int intraThreads = runModelType == 0 ? 1 : static_cast<int>(runModelType);
    const bool ok =
        ort::Check(ort::SetSessionGraphOptimizationLevel(options, ort::kOptimizeAll), "optimisation level") &&
        ort::Check(ort::SetSessionExecutionMode(options, ort::kSequential), "execution mode") &&
        ort::Check(ort::SetIntraOpNumThreads(options, intraThreads), "intra-op threads") &&
        ort::Check(ort::SetInterOpNumThreads(options, 1), "inter-op threads") &&
        ort::Check(ort::AddSessionConfigEntry(options, "session.intra_op.allow_spinning", "0"), "spinning") &&
        ort::Check(ort::AddSessionConfigEntry(options, "session.inter_op.allow_spinning", "0"), "spinning") &&
        // The environment's bounded pool instead of an unbounded one per session.
        ort::Check(ort::AddSessionConfigEntry(options, "session.use_env_allocators", "1"), "shared pool");
    if (!ok) {
        ort::ReleaseSessionOptions(options);
        return nullptr;
    }
    return options;
}

}  // namespace tesk
