// The AVX2 kernel of the mask blur (blur_mask_avx2.cpp, compiled with
// -mavx2); call it only when vidra::CpuHasAvx2() is true.
#ifndef VIDRA_POSTPROCESS_BLUR_MASK_AVX2_H
#define VIDRA_POSTPROCESS_BLUR_MASK_AVX2_H

#include <cstdint>

namespace postprocess {
namespace avx2 {

// Blurs the interior pixels of an already copied plane (width, height > 2),
// bits identical to BlurMaskScalar.
void BlurInterior(const float* source, float* destination, int32_t width, int32_t height);

}  // namespace avx2
}  // namespace postprocess

#endif
