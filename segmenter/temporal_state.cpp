// The reset of everything a segmenter carries from one frame to the next.
// It lives beside the class so that a state member added there is cleared
// here in the same change.
#include <cstring>

#include "segmenter/class_ipu_plus.h"

namespace ipu {

void ResetTemporalState(ClassIPUPlus& model) {
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
    // segmenter matches a new one even when a network run fails.
    zero(model.m_outputTensor, planes * sizeof(float));
    zero(model.m_postPlanes, planes * sizeof(float));
    zero(model.m_maskBytes, maskPixels);
    zero(model.m_blurPlane, model.m_blurPlane != nullptr ? maskPixels * sizeof(float) : 0);
    zero(model.m_inputTensor, static_cast<size_t>(model.m_inputSize) * sizeof(float));
    zero(model.m_lumaImage, inputPixels);
    zero(model.m_resizedFrame, static_cast<size_t>(model.m_rgbaStep) * kNetInputWidth * kNetInputHeight);
}

}  // namespace ipu
