// AVX2 rows of the mask blur, behind vidra::CpuHasAvx2(). The arithmetic is
// that of BlurPixel in blur_mask.cpp, in the same order.
#include "postprocess/blur_mask_avx2.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace postprocess {
namespace avx2 {

void BlurInterior(const float* source, float* destination, int32_t width, int32_t height) {
    const std::ptrdiff_t w = width;
    // Neighbour offsets in the order their values are added to the sum.
    const std::ptrdiff_t at[8] = {w + 1, -w + 1, w - 1, -w - 1, -w, w, -1, 1};
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * width;
        int32_t c = 1;
        for (; c + 8 <= width - 1; c += 8) {
            const float* s = source + row + c;
            const __m256 v = _mm256_loadu_ps(s);
            __m256 sum = v;
            __m256 count = one;
            for (std::ptrdiff_t off : at) {
                const __m256 u = _mm256_loadu_ps(s + off);
                // Ordered compare: a NaN on either side adds nothing. A blend
                // rather than adding zero keeps the sign of a -0.0 sum.
                const __m256 lower = _mm256_cmp_ps(v, u, _CMP_GT_OQ);
                sum = _mm256_blendv_ps(sum, _mm256_add_ps(sum, u), lower);
                count = _mm256_add_ps(count, _mm256_and_ps(lower, one));
            }
            _mm256_storeu_ps(destination + row + c, _mm256_div_ps(sum, count));
        }
        for (; c < width - 1; ++c) {
            const float* s = source + row + c;
            const float v = s[0];
            float sum = v;
            int32_t count = 1;
            for (std::ptrdiff_t off : at) {
                const float u = s[off];
                if (v > u) {
                    sum += u;
                    ++count;
                }
            }
            destination[row + c] = sum / static_cast<float>(count);
        }
    }
}

}  // namespace avx2
}  // namespace postprocess
