// Per-frame calls of segmenter instances: the host's layout is resampled into
// the network's input size, and the segmenter core does the rest.
#include <chrono>
#include <cstring>
#include <new>

#include "image/image_checks.h"
#include "instances/image_adapter.h"
#include "instances/segmenter_instance.h"

namespace instances {

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// The fields of the first VidraFrameInfo version.
constexpr uint32_t kFrameInfoFirstSize = sizeof(VidraFrameInfo);

int32_t ProcessChecked(VidraSegmenter& instance, const VidraImage& image, const VidraMask& mask,
                       VidraFrameInfo* info) {
    const Clock::time_point start = info != nullptr ? Clock::now() : Clock::time_point();
    ipu::SegmenterCore& core = *instance.core;
    const int32_t width = core.Width();
    const int32_t height = core.Height();
    FrameView view;
    int32_t status = AdaptImage(image, view);
    if (status == VIDRA_STATUS_OK && (view.width != width || view.height != height))
        status = VIDRA_STATUS_BAD_DIMENSIONS;
    if (status != VIDRA_STATUS_OK) {
        instance.log.Report(VIDRA_LOG_ERROR,
                            "VidraSegmenterProcess: frame refused (%s); this instance takes %d x %d",
                            VidraStatusString(status), width, height);
        return status;
    }
    status = vidra::image::CheckMask(mask, width, height);
    if (status != VIDRA_STATUS_OK) {
        instance.log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: mask refused (%s)",
                            VidraStatusString(status));
        return status;
    }

    CoreLogRoute route(instance.log);
    const int32_t step = instance.input.Resample(view, core.ResizedFrame());
    const bool packed = mask.stride == width;
    uint8_t* target = packed ? mask.data : instance.packedMask.data();
    ipu::FrameReport report;
    if (core.ProcessResized(step, target, info != nullptr ? &report : nullptr) != 0) {
        instance.log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: the segmenter refused the frame");
        return VIDRA_STATUS_INTERNAL_ERROR;
    }
    if (!packed) {
        const size_t rowBytes = static_cast<size_t>(width);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(mask.data + static_cast<std::ptrdiff_t>(y) * mask.stride, target + y * rowBytes, rowBytes);
    }
    if (info != nullptr) {
        const Clock::time_point end = Clock::now();
        info->networkRan = report.networkRan ? 1 : 0;
        info->inferenceMs = report.networkMs;
        info->postprocessMs = report.postprocessMs;
        info->totalMs = MillisecondsSince(start, end);
        // The input stage is the rest, so that the parts add up to the whole.
        info->inputMs = info->totalMs - info->inferenceMs - info->postprocessMs;
    }
    return VIDRA_STATUS_OK;
}

int32_t Process(VidraSegmenter* segmenter, const VidraImage* frame, const VidraMask* mask,
                VidraFrameInfo* info) {
    if (segmenter == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (segmenter->inCall) return VIDRA_STATUS_BUSY;
    CallScope scope(*segmenter);
    if (frame == nullptr || mask == nullptr) {
        segmenter->log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: frame or mask is NULL");
        return VIDRA_STATUS_NULL_ARGUMENT;
    }
    if (info != nullptr && info->structSize < kFrameInfoFirstSize) {
        segmenter->log.Report(VIDRA_LOG_ERROR,
                              "VidraSegmenterProcessWithInfo: info->structSize %u is not sizeof(VidraFrameInfo)",
                              info->structSize);
        return VIDRA_STATUS_BAD_STRUCT_SIZE;
    }
    try {
        VidraFrameInfo measured{};
        const int32_t status = ProcessChecked(*segmenter, *frame, *mask, info != nullptr ? &measured : nullptr);
        if (status == VIDRA_STATUS_OK && info != nullptr) {
            // Only the fields this version knows; a longer struct keeps the rest.
            measured.structSize = info->structSize;
            std::memcpy(info, &measured, kFrameInfoFirstSize);
        }
        return status;
    } catch (const std::bad_alloc&) {
        segmenter->log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: out of memory");
        return VIDRA_STATUS_NO_MEMORY;
    } catch (...) {
        segmenter->log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: unexpected failure");
        return VIDRA_STATUS_INTERNAL_ERROR;
    }
}

}  // namespace

}  // namespace instances

extern "C" {

VIDRA_API int32_t VidraSegmenterProcess(VidraSegmenter* segmenter, const VidraImage* frame,
                                        const VidraMask* mask) {
    return instances::Process(segmenter, frame, mask, nullptr);
}

VIDRA_API int32_t VidraSegmenterProcessWithInfo(VidraSegmenter* segmenter, const VidraImage* frame,
                                                const VidraMask* mask, VidraFrameInfo* info) {
    return instances::Process(segmenter, frame, mask, info);
}

VIDRA_API int32_t VidraSegmenterReset(VidraSegmenter* segmenter) {
    if (segmenter == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (segmenter->inCall) return VIDRA_STATUS_BUSY;
    segmenter->core->Reset();
    return VIDRA_STATUS_OK;
}

}  // extern "C"
