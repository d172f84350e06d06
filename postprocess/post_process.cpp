// From network output to the host's mask: person plane, activation, optional
// largest-region filter, blur and smoothing, quantisation, resize to the frame.
#include <algorithm>

#include "common/bounded_copy.h"
#include "common/log.h"
#include "postprocess/blur_mask.h"
#include "postprocess/logistic.h"
#include "segmenter/class_ipu_plus.h"

namespace {

// Clamp to 0..1 (a NaN ends at 0), scale to 0..255 and truncate.
uint8_t QuantiseProbability(float v) {
    const float upper = v > 1.0f ? 1.0f : v;
    const float clamped = upper > 0.0f ? upper : 0.0f;
    return static_cast<uint8_t>(static_cast<int32_t>(clamped * 255.0f));
}

}  // namespace

namespace ipu {

int32_t ClassIPUPlus::PostProcess(const float* networkOutput, uint8_t* mask, bool inferenceSkipped) {
    const size_t n = static_cast<size_t>(static_cast<uint32_t>(m_width) * static_cast<uint32_t>(m_height));
    if (inferenceSkipped && m_keyframeMask != nullptr) {
        if (BoundedCopy(mask, n, m_keyframeMask, n) != kCopyOk)
            LogPrintf("error: memcpy_s keyframeMask to current mask failed.");
        return 0;
    }

    const SegParams& prm = m_params;
    const size_t p = static_cast<size_t>(prm.maskWidth) * static_cast<size_t>(prm.maskHeight);
    const size_t outputPlane = static_cast<size_t>(prm.outputWidth) * static_cast<size_t>(prm.outputHeight);
    const int32_t last = prm.outputChannels - 1;
    float* working = m_postPlanes + static_cast<size_t>(last) * p;
    // With one output plane the working plane is plane 0, so the blur writes
    // into a plane of its own.
    float* blurPlane = last == 0 ? m_blurPlane : m_postPlanes;

    const ResizeGeometry toMask{prm.outputWidth, prm.outputHeight, prm.maskWidth, prm.maskHeight};
    ResizeFloat(networkOutput + static_cast<size_t>(last) * outputPlane, working, &toMask);

    // The activation covers (outputChannels - 1) planes from the working
    // plane, limited to the working plane itself: a one-plane output is
    // already a probability.
    if (prm.needSigmoid && last > 0) vidra::postprocess::LogisticInPlace(working, p);

    float* current = working;
    if (prm.ConnectedComponentLabeling) KeepLargestComponent(working);
    if (prm.MaskBlur) {
        vidra::postprocess::BlurMask(current, blurPlane, prm.maskWidth, prm.maskHeight);
        current = blurPlane;
    }
    if (prm.MultiFrameSmooth) {
        SmoothMask(current, working);
        current = working;
    }
    for (size_t i = 0; i < p; ++i) m_maskBytes[i] = QuantiseProbability(current[i]);

    const ResizeGeometry toFrame{prm.maskWidth, prm.maskHeight, m_width, m_height};
    ResizeUcharMask(m_maskBytes, mask, &toFrame);

    if (n > 0) {
        const size_t capacity = m_keyframeMask != nullptr ? n : 0;
        if (BoundedCopy(m_keyframeMask, capacity, mask, n) != kCopyOk)
            LogPrintf("save current mask to keyFrameMask failed.");
    }
    return 0;
}

}  // namespace ipu
