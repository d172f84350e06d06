// Per-frame calls of segmenter instances: the host's layout is resampled into
// the segmenter's input, and its frame driver does the rest.
#include <cstring>
#include <new>

#include "image/image_checks.h"
#include "instances/image_adapter.h"
#include "instances/segmenter_instance.h"

namespace instances {

namespace {

int32_t ProcessChecked(VidraSegmenter& instance, const VidraImage& image, const VidraMask& mask) {
    ipu::ClassIPUPlus& model = *instance.model;
    FrameView view;
    int32_t status = AdaptImage(image, view);
    if (status == VIDRA_STATUS_OK && (view.width != model.m_width || view.height != model.m_height))
        status = VIDRA_STATUS_BAD_DIMENSIONS;
    if (status != VIDRA_STATUS_OK) {
        instance.log.Report(VIDRA_LOG_ERROR,
                            "VidraSegmenterProcess: frame refused (%s); this instance takes %d x %d",
                            VidraStatusString(status), model.m_width, model.m_height);
        return status;
    }
    status = vidra::image::CheckMask(mask, model.m_width, model.m_height);
    if (status != VIDRA_STATUS_OK) {
        instance.log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: mask refused (%s)",
                            VidraStatusString(status));
        return status;
    }

    CoreLogRoute route(instance.log);
    const int32_t step = instance.input.Resample(view, model.m_resizedFrame);
    if (step == 4)
        model.PreprocessRGBA(model.m_resizedFrame, model.m_inputTensor, model.m_inputWidth, model.m_inputHeight);
    else
        model.PreprocessRGB(model.m_resizedFrame, model.m_inputTensor, model.m_inputWidth, model.m_inputHeight);
    const bool packed = mask.stride == model.m_width;
    uint8_t* target = packed ? mask.data : instance.packedMask.data();
    if (model.FrameProcess(nullptr, target) != 0) {
        instance.log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: the segmenter refused the frame");
        return VIDRA_STATUS_INTERNAL_ERROR;
    }
    if (!packed) {
        const size_t width = static_cast<size_t>(model.m_width);
        for (int32_t y = 0; y < model.m_height; ++y)
            std::memcpy(mask.data + static_cast<std::ptrdiff_t>(y) * mask.stride, target + y * width, width);
    }
    return VIDRA_STATUS_OK;
}

}  // namespace

void ClearTemporalState(ipu::ClassIPUPlus& model) {
    const SegParams& p = model.m_params;
    const size_t maskPixels = static_cast<size_t>(p.maskWidth) * static_cast<size_t>(p.maskHeight);
    const size_t planes = static_cast<size_t>(p.outputChannels) * maskPixels;
    const size_t inputPixels = static_cast<size_t>(model.m_inputWidth) * static_cast<size_t>(model.m_inputHeight);
    auto zero = [](void* buffer, size_t bytes) {
        if (buffer != nullptr && bytes > 0) std::memset(buffer, 0, bytes);
    };
    model.m_frameCounter = 0;
    model.m_smoothReady = 0;
    model.m_smoothIndex = 0;
    zero(model.m_keyframe8x, static_cast<size_t>(model.m_keyframeWidth) * static_cast<size_t>(model.m_keyframeHeight));
    zero(model.m_keyframeMask, static_cast<size_t>(model.m_width) * static_cast<size_t>(model.m_height));
    zero(model.m_smoothHistory, static_cast<size_t>(model.m_smoothLength) * maskPixels * sizeof(float));
    // Buffers every full run rewrites before reading; cleared so that a reset
    // instance matches a new one even when a network run fails.
    zero(model.m_outputTensor, planes * sizeof(float));
    zero(model.m_postPlanes, planes * sizeof(float));
    zero(model.m_maskBytes, maskPixels);
    zero(model.m_blurPlane, model.m_blurPlane != nullptr ? maskPixels * sizeof(float) : 0);
    zero(model.m_inputTensor, static_cast<size_t>(model.m_inputSize) * sizeof(float));
    zero(model.m_lumaImage, inputPixels);
}

}  // namespace instances

extern "C" {

VIDRA_API int32_t VidraSegmenterProcess(VidraSegmenter* segmenter, const VidraImage* frame,
                                        const VidraMask* mask) {
    if (segmenter == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (frame == nullptr || mask == nullptr) {
        segmenter->log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: frame or mask is NULL");
        return VIDRA_STATUS_NULL_ARGUMENT;
    }
    try {
        return instances::ProcessChecked(*segmenter, *frame, *mask);
    } catch (const std::bad_alloc&) {
        segmenter->log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: out of memory");
        return VIDRA_STATUS_NO_MEMORY;
    } catch (...) {
        segmenter->log.Report(VIDRA_LOG_ERROR, "VidraSegmenterProcess: unexpected failure");
        return VIDRA_STATUS_INTERNAL_ERROR;
    }
}

VIDRA_API int32_t VidraSegmenterReset(VidraSegmenter* segmenter) {
    if (segmenter == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    instances::ClearTemporalState(*segmenter->model);
    return VIDRA_STATUS_OK;
}

}  // extern "C"
