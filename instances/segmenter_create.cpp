// Creation and destruction of segmenter instances: all or nothing, never
// touching the global segmenter.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "instances/model_location.h"
#include "instances/segmenter_instance.h"
#include "segmenter/seg_params.h"

namespace instances {

namespace {

// The host's options, or a status when they cannot be read: structSize must
// cover this version's fields, and fields of a newer version must be zero
// (left at their defaults).
int32_t ReadOptions(const VidraSegmenterOptions* given, VidraSegmenterOptions& options) {
    if (given == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (given->structSize < sizeof(VidraSegmenterOptions)) return VIDRA_STATUS_BAD_STRUCT_SIZE;
    const auto* bytes = reinterpret_cast<const unsigned char*>(given);
    for (size_t i = sizeof(VidraSegmenterOptions); i < given->structSize; ++i)
        if (bytes[i] != 0) return VIDRA_STATUS_BAD_STRUCT_SIZE;
    std::memcpy(&options, given, sizeof options);
    return VIDRA_STATUS_OK;
}

// The record the instance runs with: the host's (or the default), its flags
// normalised, engine threads and model file name applied. A status and reason
// when it cannot be used.
int32_t ChooseParams(const VidraSegmenterOptions& options, SegParams& params, std::string& reason) {
    CopySegParams(params, options.params != nullptr ? *options.params : kSegParams144x80);
    if (options.engineThreads < 0) {
        reason = "engineThreads must not be negative";
        return VIDRA_STATUS_BAD_OPTION;
    }
    // Applied before the record's check, which also bounds the thread count.
    if (options.engineThreads > 0) params.runModelType = options.engineThreads;
    if (const char* problem = SegParamsProblem(params)) {
        reason = std::string("parameter record refused: ") + problem;
        return VIDRA_STATUS_BAD_OPTION;
    }
    return VIDRA_STATUS_OK;
}

int32_t CreateChecked(const VidraSegmenterOptions& options, const InstanceLog& log,
                      VidraSegmenter** out) {
    const int32_t width = options.width;
    const int32_t height = options.height;
    if (options.modelPath == nullptr) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: modelPath is NULL");
        return VIDRA_STATUS_NULL_ARGUMENT;
    }
    if (const char* problem = FrameSizeProblem(width, height)) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: frame size %d x %d refused: %s", width,
                   height, problem);
        return VIDRA_STATUS_BAD_DIMENSIONS;
    }
    SegParams params{};
    std::string reason;
    if (const int32_t status = ChooseParams(options, params, reason)) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: %s", reason.c_str());
        return status;
    }
    ModelLocation location;
    if (!LocateModel(options.modelPath, params.modelName, location, reason)) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: %s", reason.c_str());
        return VIDRA_STATUS_MODEL_NOT_FOUND;
    }
    if (location.name.size() >= sizeof params.modelName) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: model file name '%s' is too long",
                   location.name.c_str());
        return VIDRA_STATUS_BAD_OPTION;
    }
    std::memcpy(params.modelName, location.name.c_str(), location.name.size() + 1);

    auto instance = std::make_unique<VidraSegmenter>();
    instance->log = log;
    {
        CoreLogRoute route(instance->log);
        ipu::SegmenterCore& core = *instance->core;
        int32_t engineStatus = 0;
        const ipu::SetupResult result = core.SetUp(params, width, height, location.folder, engineStatus);
        if (result != ipu::SetupResult::kReady) {
            const bool memory = result == ipu::SetupResult::kNoMemory;
            if (memory) {
                log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: out of memory for %d x %d frames",
                           width, height);
            } else {
                log.Report(VIDRA_LOG_ERROR,
                           "VidraSegmenterCreate: the model '%s' in '%s' could not be prepared for "
                           "these parameters (status %d)",
                           params.modelName, location.folder.c_str(), engineStatus);
            }
            instance.reset();  // its teardown lines still go to this instance's log
            return memory ? VIDRA_STATUS_NO_MEMORY : VIDRA_STATUS_MODEL_UNUSABLE;
        }
        instance->input.Prepare(core.Resampler(), width, height);
        instance->packedMask.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    }
    log.Report(VIDRA_LOG_INFO, "segmenter created for %d x %d frames, model '%s' in '%s'", width,
               height, params.modelName, location.folder.c_str());
    *out = instance.release();
    return VIDRA_STATUS_OK;
}

}  // namespace

}  // namespace instances

extern "C" {

VIDRA_API void VidraSegmenterOptionsInit(VidraSegmenterOptions* options) {
    if (options == nullptr) return;
    std::memset(options, 0, sizeof *options);
    options->structSize = sizeof *options;
    options->logLevel = VIDRA_LOG_ERROR;
}

VIDRA_API int32_t VidraSegmenterCreate(const VidraSegmenterOptions* given, VidraSegmenter** out) {
    if (out != nullptr) *out = nullptr;
    VidraSegmenterOptions options;
    if (const int32_t status = instances::ReadOptions(given, options)) return status;
    instances::InstanceLog log;
    log.callback = options.logCallback;
    log.user = options.logUser;
    log.least = options.logLevel;
    if (out == nullptr) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: out is NULL");
        return VIDRA_STATUS_NULL_ARGUMENT;
    }
    if (options.logLevel < VIDRA_LOG_DEBUG || options.logLevel > VIDRA_LOG_ERROR) {
        log.least = VIDRA_LOG_ERROR;  // the given filter means nothing: say why at the usual level
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: logLevel %d is not 0 (debug) to 3 (error)",
                   options.logLevel);
        return VIDRA_STATUS_BAD_OPTION;
    }
    try {
        return instances::CreateChecked(options, log, out);
    } catch (const std::bad_alloc&) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: out of memory");
        return VIDRA_STATUS_NO_MEMORY;
    } catch (...) {
        log.Report(VIDRA_LOG_ERROR, "VidraSegmenterCreate: unexpected failure");
        return VIDRA_STATUS_INTERNAL_ERROR;
    }
}

VIDRA_API void VidraSegmenterDestroy(VidraSegmenter* segmenter) {
    // From the instance's own log callback: the call that logged still uses it.
    if (segmenter != nullptr && segmenter->inCall) return;
    try {
        delete segmenter;
    } catch (...) {
        // Teardown releases engine handles only; nothing here throws in practice.
    }
}

}  // extern "C"
