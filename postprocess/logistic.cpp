#include "postprocess/logistic.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "common/cpu_features.h"
#include "postprocess/logistic_avx2.h"
#include "postprocess/logistic_constants.h"

namespace {

using namespace logistic_constants;

inline int32_t FloatBits(float f) {
    int32_t i;
    std::memcpy(&i, &f, sizeof i);
    return i;
}

// 2^k for -126 <= k <= 127.
inline float Pow2(int32_t k) {
    const uint32_t bits = static_cast<uint32_t>(k + 127) << 23;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

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

}  // namespace

float ExpScalar(float x) {
    if (x != x) return x;
    float t = x > kMaxArg ? kMaxArg : x;
    t = t < kMinArg ? kMinArg : t;
    const float shifted = t * kLog2e + kRoundShift;
    const float n = shifted - kRoundShift;
    const int32_t ni = FloatBits(shifted) - FloatBits(kRoundShift);
    const float r = (t - n * kLn2Hi) - n * kLn2Lo;
    const float z = r * r;
    float p = kP0 * r + kP1;
    p = p * r + kP2;
    p = p * r + kP3;
    p = p * r + kP4;
    p = p * r + kP5;
    const float e = (p * z + r) + 1.0f;
    // n in [-150, 128]: halves of it keep both factors normal.
    const int32_t n1 = ni >> 1;
    const int32_t n2 = ni - n1;
    return (e * Pow2(n1)) * Pow2(n2);
}

void LogisticInPlaceScalar(float* values, std::size_t count) {
    if (values == nullptr) return;
    for (std::size_t i = 0; i < count; ++i) values[i] = 1.0f / (ExpScalar(-values[i]) + 1.0f);
}

void LogisticInPlaceSse(float* values, std::size_t count) {
    if (values == nullptr) return;
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 sign = _mm_set1_ps(-0.0f);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        const __m128 e = Exp4(_mm_xor_ps(v, sign));
        _mm_storeu_ps(values + i, _mm_div_ps(one, _mm_add_ps(e, one)));
    }
    LogisticInPlaceScalar(values + i, count - i);
}

void LogisticInPlace(float* values, std::size_t count) {
    if (values == nullptr) return;
    if (!vidra::CpuHasAvx2()) {
        LogisticInPlaceSse(values, count);
        return;
    }
    const std::size_t done = postprocess::avx2::Logistic(values, count);
    LogisticInPlaceScalar(values + done, count - done);
}
