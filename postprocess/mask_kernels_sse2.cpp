// SSE2 twins of the mask filters: four values per step with the scalar
// arithmetic in the same order (logistic_constants.h); the scalar kernels
// finish each row.
#include <emmintrin.h>

#include <cstddef>

#include "postprocess/logistic_constants.h"
#include "postprocess/mask_kernels.h"

namespace vidra {
namespace postprocess {
namespace sse2 {
namespace {

using namespace logistic_constants;

inline __m128 Pow2(__m128i k) {
    return _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(k, _mm_set1_epi32(127)), 23));
}

// a where mask is set, b elsewhere.
inline __m128 Select(__m128 mask, __m128 a, __m128 b) {
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

__m128 Exp4(__m128 x) {
    const __m128 isNan = _mm_cmpunord_ps(x, x);
    __m128 t = _mm_min_ps(x, _mm_set1_ps(kMaxArg));
    t = _mm_max_ps(t, _mm_set1_ps(kMinArg));
    const __m128 shift = _mm_set1_ps(kRoundShift);
    const __m128 shifted = _mm_add_ps(_mm_mul_ps(t, _mm_set1_ps(kLog2e)), shift);
    const __m128 n = _mm_sub_ps(shifted, shift);
    const __m128i ni = _mm_sub_epi32(_mm_castps_si128(shifted), _mm_castps_si128(shift));
    const __m128 r = _mm_sub_ps(_mm_sub_ps(t, _mm_mul_ps(n, _mm_set1_ps(kLn2Hi))),
                                _mm_mul_ps(n, _mm_set1_ps(kLn2Lo)));
    const __m128 z = _mm_mul_ps(r, r);
    __m128 p = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kP0), r), _mm_set1_ps(kP1));
    p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(kP2));
    p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(kP3));
    p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(kP4));
    p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(kP5));
    const __m128 e = _mm_add_ps(_mm_add_ps(_mm_mul_ps(p, z), r), _mm_set1_ps(1.0f));
    const __m128i n1 = _mm_srai_epi32(ni, 1);
    const __m128i n2 = _mm_sub_epi32(ni, n1);
    const __m128 result = _mm_mul_ps(_mm_mul_ps(e, Pow2(n1)), Pow2(n2));
    return Select(isNan, x, result);
}

void Logistic(float* values, std::size_t count) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 sign = _mm_set1_ps(-0.0f);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        const __m128 e = Exp4(_mm_xor_ps(v, sign));
        _mm_storeu_ps(values + i, _mm_div_ps(one, _mm_add_ps(e, one)));
    }
    LogisticScalar(values + i, count - i);
}

void BlurInterior(const float* source, float* destination, int32_t width, int32_t height) {
    const std::ptrdiff_t w = width;
    const std::ptrdiff_t at[8] = {w + 1, -w + 1, w - 1, -w - 1, -w, w, -1, 1};
    const __m128 one = _mm_set1_ps(1.0f);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * w;
        int32_t c = 1;
        for (; c + 4 <= width - 1; c += 4) {
            const float* s = source + row + c;
            const __m128 v = _mm_loadu_ps(s);
            __m128 sum = v;
            __m128 count = one;
            for (std::ptrdiff_t off : at) {
                const __m128 u = _mm_loadu_ps(s + off);
                // Ordered compare: a NaN on either side adds nothing. A
                // select rather than adding zero keeps the sign of a -0.0 sum.
                const __m128 lower = _mm_cmpgt_ps(v, u);
                sum = Select(lower, _mm_add_ps(sum, u), sum);
                count = _mm_add_ps(count, _mm_and_ps(lower, one));
            }
            _mm_storeu_ps(destination + row + c, _mm_div_ps(sum, count));
        }
        BlurColumnsScalar(source, destination, width, r, c, width - 1);
    }
}

}  // namespace
}  // namespace sse2

void FillMaskKernelsSse2(MaskKernels& k) {
    k.logistic = sse2::Logistic;
    k.blurInterior = sse2::BlurInterior;
}

}  // namespace postprocess
}  // namespace vidra
