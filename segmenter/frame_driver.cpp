#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "common/bounded_copy.h"
#include "common/log.h"
#include "segmenter/class_ipu_plus.h"

namespace {

// Three units in the last place below 1.0: a compared frame counts as
// unchanged only above this similarity.
float SimilarityThreshold() {
    const uint32_t bits = 0x3F7FFFFDu;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr float kSkipThreshold = 0.9f;
constexpr float kUnchanged = 1.0f;
constexpr float kChanged = 0.0f;

}  // namespace

namespace ipu {

void ForgetKeyframe(ClassIPUPlus& model) {
    if (model.m_keyframe8x != nullptr)
        std::memset(model.m_keyframe8x, 0, static_cast<size_t>(model.m_keyframeWidth) * model.m_keyframeHeight);
}

int32_t ClassIPUPlus::FrameProcess(const uint8_t* frame, uint8_t* mask) {
    try {
        return ProcessOneFrame(frame, mask);
    } catch (...) {
        // A temporary could not be allocated. The stored thumbnail may belong
        // to a frame whose mask was never made.
        ForgetKeyframe(*this);
        throw;
    }
}

int32_t ClassIPUPlus::ProcessOneFrame(const uint8_t* frame, uint8_t* mask) {
    if (m_nnxModel == nullptr) {
        LogPrintf("Model is nullptr");
        return -1;
    }
    // A creation that failed while allocating leaves buffers missing or sized
    // for another geometry; such a segmenter refuses frames.
    if (!m_buffersReady) {
        LogPrintf("Model buffers are not allocated\n");
        return -1;
    }

    const ResizeGeometry toInput{m_width, m_height, kNetInputWidth, kNetInputHeight};
    if (m_frameType == VIDRA_FRAME_RGB24 || m_frameType == VIDRA_FRAME_RGBA32) {
        const int32_t step = m_frameType == VIDRA_FRAME_RGB24 ? m_rgbStep : m_rgbaStep;
        if (frame != nullptr) ResizeUcharPixels(frame, m_resizedFrame, &toInput, step);
        if (m_frameType == VIDRA_FRAME_RGB24)
            PreprocessRGB(m_resizedFrame, m_inputTensor, m_inputWidth, m_inputHeight);
        else
            PreprocessRGBA(m_resizedFrame, m_inputTensor, m_inputWidth, m_inputHeight);
    }
    return RunPreparedFrame(*this, mask, nullptr);
}

int32_t RunPreparedFrame(ClassIPUPlus& model, uint8_t* mask, FrameReport* report) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = report != nullptr ? Clock::now() : Clock::time_point();
    const uint64_t n = static_cast<uint64_t>(model.m_keyframeWidth) * model.m_keyframeHeight;
    std::unique_ptr<uint8_t[]> thumbnail(new uint8_t[n]());
    uint8_t* current = thumbnail.get();
    const ResizeGeometry toThumb{model.m_params.inputWidth, model.m_params.inputHeight, model.m_keyframeWidth,
                                 model.m_keyframeHeight};
    model.ResizeUcharMask(model.m_lumaImage, current, &toThumb);

    bool forced;
    if (model.m_frameCounter >= model.m_counterPeriod) {
        model.m_frameCounter = 0;
        forced = true;
    } else {
        ++model.m_frameCounter;
        forced = model.m_frameCounter % model.m_keyframeInterval == 0;
    }

    bool store = forced;
    float changeScore = kChanged;
    if (!forced) {
        const float similarity = CosineSimilarity(model.m_keyframe8x, current, n);
        LogPrintf("CosineSimilarity: %f", static_cast<double>(similarity));
        if (similarity > SimilarityThreshold()) {
            changeScore = kUnchanged;
        } else {
            store = true;  // also when the similarity is not a number
        }
    }
    if (store) {
        if (BoundedCopy(model.m_keyframe8x, n, current, n) != kCopyOk)
            LogPrintf("save keyframe8x failed.");
        else
            LogPrintf("save keyframe8x succeeded.");
    }
    thumbnail.reset();

    const bool skipped = changeScore > kSkipThreshold;
    if (!skipped) {
        LogPrintf("NNXRun start.\n");
        // A failed run leaves the output as it was; post-processing goes on.
        // A refused model is never run: it would read or write past the buffers.
        if (!model.m_modelRefused) NNXRun(model.m_nnxModel, model.m_inputTensor, model.m_outputTensor);
    }
    const Clock::time_point post = report != nullptr ? Clock::now() : Clock::time_point();
    if (model.PostProcess(model.m_outputTensor, mask, skipped) != 0) {
        LogPrintf("RunModel:postprocess error\n");
        return -1;
    }
    if (report != nullptr) {
        report->networkRan = !skipped;
        report->networkMs = std::chrono::duration<double, std::milli>(post - start).count();
        report->postprocessMs = std::chrono::duration<double, std::milli>(Clock::now() - post).count();
    }
    return 0;
}

}  // namespace ipu
