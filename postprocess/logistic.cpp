#include "postprocess/logistic.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

// exp(x) = 2^n * exp(r) with n the integer nearest x / ln2 and
// r = x - n * ln2 (two-constant Cody-Waite split, so n * kLn2Hi is exact);
// exp(r) on |r| <= ln2 / 2 is a degree-5 polynomial in r, evaluated
// in Horner form, and the scaling multiplies by 2^(n/2) twice so that results
// in the subnormal range are rounded once and overflow gives +inf. Every
// operation below is written the same way, in the same order, in the scalar
// and the vector form.
namespace {

constexpr float kMaxArg = 89.0f;     // exp(89) overflows; larger inputs give +inf too
constexpr float kMinArg = -104.0f;   // exp(-104) is below half the smallest subnormal
constexpr float kLog2e = 1.44269504088896341f;
constexpr float kLn2Hi = 0.693359375f;
constexpr float kLn2Lo = -2.12194440e-4f;
constexpr float kRoundShift = 12582912.0f;  // 1.5 * 2^23: adding it rounds to an integer
constexpr float kP0 = 1.9875691500e-4f;
constexpr float kP1 = 1.3981999507e-3f;
constexpr float kP2 = 8.3334519073e-3f;
constexpr float kP3 = 4.1665795894e-2f;
constexpr float kP4 = 1.6666665459e-1f;
constexpr float kP5 = 5.0000001201e-1f;

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

void LogisticInPlace(float* values, std::size_t count) {
    if (values == nullptr) return;
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 v = _mm256_loadu_ps(values + i);
        const __m256 e = Exp8(_mm256_xor_ps(v, sign));
        _mm256_storeu_ps(values + i, _mm256_div_ps(one, _mm256_add_ps(e, one)));
    }
    LogisticInPlaceScalar(values + i, count - i);
}
