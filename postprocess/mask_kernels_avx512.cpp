// AVX-512 twins of the mask filters: sixteen values per step with the scalar
// arithmetic in the same order (logistic_constants.h); the scalar kernels
// finish each row.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "postprocess/logistic_constants.h"
#include "postprocess/mask_kernels.h"

namespace vidra {
namespace postprocess {
namespace avx512 {
namespace {

using namespace logistic_constants;

inline __m512 Pow2(__m512i k) {
    return _mm512_castsi512_ps(_mm512_slli_epi32(_mm512_add_epi32(k, _mm512_set1_epi32(127)), 23));
}

__m512 Exp16(__m512 x) {
    const __mmask16 isNan = _mm512_cmp_ps_mask(x, x, _CMP_UNORD_Q);
    __m512 t = _mm512_min_ps(x, _mm512_set1_ps(kMaxArg));
    t = _mm512_max_ps(t, _mm512_set1_ps(kMinArg));
    const __m512 shift = _mm512_set1_ps(kRoundShift);
    const __m512 shifted = _mm512_add_ps(_mm512_mul_ps(t, _mm512_set1_ps(kLog2e)), shift);
    const __m512 n = _mm512_sub_ps(shifted, shift);
    const __m512i ni = _mm512_sub_epi32(_mm512_castps_si512(shifted), _mm512_castps_si512(shift));
    const __m512 r = _mm512_sub_ps(_mm512_sub_ps(t, _mm512_mul_ps(n, _mm512_set1_ps(kLn2Hi))),
                                   _mm512_mul_ps(n, _mm512_set1_ps(kLn2Lo)));
    const __m512 z = _mm512_mul_ps(r, r);
    __m512 p = _mm512_add_ps(_mm512_mul_ps(_mm512_set1_ps(kP0), r), _mm512_set1_ps(kP1));
    p = _mm512_add_ps(_mm512_mul_ps(p, r), _mm512_set1_ps(kP2));
    p = _mm512_add_ps(_mm512_mul_ps(p, r), _mm512_set1_ps(kP3));
    p = _mm512_add_ps(_mm512_mul_ps(p, r), _mm512_set1_ps(kP4));
    p = _mm512_add_ps(_mm512_mul_ps(p, r), _mm512_set1_ps(kP5));
    const __m512 e = _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(p, z), r), _mm512_set1_ps(1.0f));
    const __m512i n1 = _mm512_srai_epi32(ni, 1);
    const __m512i n2 = _mm512_sub_epi32(ni, n1);
    const __m512 result = _mm512_mul_ps(_mm512_mul_ps(e, Pow2(n1)), Pow2(n2));
    return _mm512_mask_blend_ps(isNan, result, x);
}

void Logistic(float* values, std::size_t count) {
    const __m512 one = _mm512_set1_ps(1.0f);
    const __m512i sign = _mm512_set1_epi32(static_cast<int32_t>(0x80000000u));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512 v = _mm512_loadu_ps(values + i);
        const __m512 e = Exp16(_mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(v), sign)));
        _mm512_storeu_ps(values + i, _mm512_div_ps(one, _mm512_add_ps(e, one)));
    }
    LogisticScalar(values + i, count - i);
}

void BlurInterior(const float* source, float* destination, int32_t width, int32_t height) {
    const std::ptrdiff_t w = width;
    const std::ptrdiff_t at[8] = {w + 1, -w + 1, w - 1, -w - 1, -w, w, -1, 1};
    const __m512 one = _mm512_set1_ps(1.0f);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * w;
        int32_t c = 1;
        for (; c + 16 <= width - 1; c += 16) {
            const float* s = source + row + c;
            const __m512 v = _mm512_loadu_ps(s);
            __m512 sum = v;
            __m512 count = one;
            for (std::ptrdiff_t off : at) {
                const __m512 u = _mm512_loadu_ps(s + off);
                // Ordered compare: a NaN on either side adds nothing; masked
                // adds leave the other lanes (and a -0.0 sum's sign) as they are.
                const __mmask16 lower = _mm512_cmp_ps_mask(v, u, _CMP_GT_OQ);
                sum = _mm512_mask_add_ps(sum, lower, sum, u);
                count = _mm512_mask_add_ps(count, lower, count, one);
            }
            _mm512_storeu_ps(destination + row + c, _mm512_div_ps(sum, count));
        }
        BlurColumnsScalar(source, destination, width, r, c, width - 1);
    }
}

}  // namespace
}  // namespace avx512

void FillMaskKernelsAvx512(MaskKernels& k) {
    k.logistic = avx512::Logistic;
    k.blurInterior = avx512::BlurInterior;
}

}  // namespace postprocess
}  // namespace vidra
