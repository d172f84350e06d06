#include "segmenter/segmenter_core.h"

#include <chrono>

#include "segmenter/class_ipu_plus.h"

namespace ipu {

namespace {

// The segmenter's frame type when frames arrive resampled: none, since its
// own input stage never runs (ProcessResized prepares the input instead).
constexpr int32_t kFramesArriveResampled = 0;

}  // namespace

SegmenterCore::SegmenterCore() : model_(new ClassIPUPlus) {}

SegmenterCore::~SegmenterCore() = default;

SetupResult SegmenterCore::SetUp(const SegParams& params, int32_t width, int32_t height,
                                 const std::string& folder, int32_t& engineStatus) {
    UseParams(*model_, params);
    engineStatus = model_->InitIPU(width, height, kFramesArriveResampled, folder);
    if (engineStatus == 0) return SetupResult::kReady;
    // InitIPU marks its buffers ready before it prepares the model: a failure
    // with buffers missing was a failed allocation.
    return model_->m_buffersReady ? SetupResult::kModelUnusable : SetupResult::kNoMemory;
}

int32_t SegmenterCore::Width() const { return model_->m_width; }

int32_t SegmenterCore::Height() const { return model_->m_height; }

rgbproc::RGBPROCESS& SegmenterCore::Resampler() { return *model_; }

uint8_t* SegmenterCore::ResizedFrame() { return model_->m_resizedFrame; }

void SegmenterCore::PrepareInput(int32_t step) {
    ClassIPUPlus& m = *model_;
    if (step == 4)
        m.PreprocessRGBA(m.m_resizedFrame, m.m_inputTensor, m.m_inputWidth, m.m_inputHeight);
    else
        m.PreprocessRGB(m.m_resizedFrame, m.m_inputTensor, m.m_inputWidth, m.m_inputHeight);
}

int32_t SegmenterCore::ProcessPrepared(uint8_t* mask, FrameReport* report) {
    ClassIPUPlus& m = *model_;
    if (m.m_nnxModel == nullptr || !m.m_buffersReady) return -1;
    try {
        return RunPreparedFrame(m, mask, report);
    } catch (...) {
        ForgetKeyframe(m);
        throw;
    }
}

int32_t SegmenterCore::ProcessResized(int32_t step, uint8_t* mask, FrameReport* report) {
    PrepareInput(step);
    return ProcessPrepared(mask, report);
}

void SegmenterCore::Reset() { ResetTemporalState(*model_); }

}  // namespace ipu
