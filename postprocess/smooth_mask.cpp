// Temporal smoothing: each pixel is blended between its current value and the
// two previous smoothed results, weighted by how far it is from undecided (0.5).
#include <cmath>

#include "common/bounded_copy.h"
#include "segmenter/class_ipu_plus.h"

namespace ipu {

void ClassIPUPlus::SmoothMask(const float* source, float* destination) {
    const size_t p = static_cast<size_t>(m_params.maskWidth) * static_cast<size_t>(m_params.maskHeight);
    const size_t bytes = p * sizeof(float);
    int copied;
    if (m_smoothReady == 0) {
        // Warm-up: pass the mask through; the history is not written.
        copied = BoundedCopy(destination, bytes, source, bytes);
    } else {
        const int32_t length = m_smoothLength;
        const int32_t k = m_smoothIndex;
        float* previous = m_smoothHistory + static_cast<size_t>((k + 2) % length) * p;
        float* beforePrevious = m_smoothHistory + static_cast<size_t>((k + 1) % length) * p;
        float* target = m_smoothHistory + static_cast<size_t>(k % length) * p;
        for (size_t i = 0; i < p; ++i) {
            const float x = source[i];
            const float distance = std::fabs(x - 0.5f);
            const float w = distance + distance;
            const float q = 1.0f - w;
            const float fromPrevious = (q * 0.66f) * previous[i];
            const float fromCurrent = x * w;
            const float fromBefore = (q * 0.34f) * beforePrevious[i];
            target[i] = (fromPrevious + fromCurrent) + fromBefore;
        }
        copied = BoundedCopy(destination, bytes, target, bytes);
    }
    if (copied != kCopyOk) return;
    if (++m_smoothIndex >= m_smoothLength) {
        m_smoothIndex = 0;
        m_smoothReady = 1;
    }
}

}  // namespace ipu
