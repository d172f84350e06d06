// AVX2 twins of the mask filters: eight values per step with the scalar
// arithmetic in the same order (logistic_constants.h); the scalar kernels
// finish each row.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "postprocess/logistic_constants.h"
#include "postprocess/mask_kernels.h"

namespace vidra {
namespace postprocess {
namespace avx2 {
namespace {

using namespace logistic_constants;

inline __m256 Pow2(__m256i k) {
    return _mm256_castsi256_ps(_mm256_slli_epi32(_mm256_add_epi32(k, _mm256_set1_epi32(127)), 23));
}

__m256 Exp8(__m256 x) {
    const __m256 isNan = _mm256_cmp_ps(x, x, _CMP_UNORD_Q);
    __m256 t = _mm256_min_ps(x, _mm256_set1_ps(kMaxArg));
    t = _mm256_max_ps(t, _mm256_set1_ps(kMinArg));
    const __m256 shift = _mm256_set1_ps(kRoundShift);
    const __m256 shifted = _mm256_add_ps(_mm256_mul_ps(t, _mm256_set1_ps(kLog2e)), shift);
    const __m256 n = _mm256_sub_ps(shifted, shift);
    const __m256i ni = _mm256_sub_epi32(_mm256_castps_si256(shifted), _mm256_castps_si256(shift));
    const __m256 r = _mm256_sub_ps(_mm256_sub_ps(t, _mm256_mul_ps(n, _mm256_set1_ps(kLn2Hi))),
                                   _mm256_mul_ps(n, _mm256_set1_ps(kLn2Lo)));
    const __m256 z = _mm256_mul_ps(r, r);
    __m256 p = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kP0), r), _mm256_set1_ps(kP1));
    p = _mm256_add_ps(_mm256_mul_ps(p, r), _mm256_set1_ps(kP2));
    p = _mm256_add_ps(_mm256_mul_ps(p, r), _mm256_set1_ps(kP3));
    p = _mm256_add_ps(_mm256_mul_ps(p, r), _mm256_set1_ps(kP4));
    p = _mm256_add_ps(_mm256_mul_ps(p, r), _mm256_set1_ps(kP5));
    const __m256 e = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(p, z), r), _mm256_set1_ps(1.0f));
    const __m256i n1 = _mm256_srai_epi32(ni, 1);
    const __m256i n2 = _mm256_sub_epi32(ni, n1);
    const __m256 result = _mm256_mul_ps(_mm256_mul_ps(e, Pow2(n1)), Pow2(n2));
    return _mm256_blendv_ps(result, x, isNan);
}

void Logistic(float* values, std::size_t count) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 v = _mm256_loadu_ps(values + i);
        const __m256 e = Exp8(_mm256_xor_ps(v, sign));
        _mm256_storeu_ps(values + i, _mm256_div_ps(one, _mm256_add_ps(e, one)));
    }
    LogisticScalar(values + i, count - i);
}

void BlurInterior(const float* source, float* destination, int32_t width, int32_t height) {
    const std::ptrdiff_t w = width;
    const std::ptrdiff_t at[8] = {w + 1, -w + 1, w - 1, -w - 1, -w, w, -1, 1};
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * w;
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
        BlurColumnsScalar(source, destination, width, r, c, width - 1);
    }
}

}  // namespace
}  // namespace avx2

void FillMaskKernelsAvx2(MaskKernels& k) {
    k.logistic = avx2::Logistic;
    k.blurInterior = avx2::BlurInterior;
}

}  // namespace postprocess
}  // namespace vidra
