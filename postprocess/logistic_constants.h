// Constants of the single-precision exp shared by the scalar, SSE2 and AVX2
// forms of the logistic activation (constants only: no functions here, so the
// AVX2 file can include it).
#ifndef VIDRA_POSTPROCESS_LOGISTIC_CONSTANTS_H
#define VIDRA_POSTPROCESS_LOGISTIC_CONSTANTS_H

// exp(x) = 2^n * exp(r) with n the integer nearest x / ln2 and
// r = x - n * ln2 (two-constant Cody-Waite split, so n * kLn2Hi is exact);
// exp(r) on |r| <= ln2 / 2 is a degree-5 polynomial in r, evaluated
// in Horner form, and the scaling multiplies by 2^(n/2) twice so that results
// in the subnormal range are rounded once and overflow gives +inf. Every
// operation is written the same way, in the same order, in the scalar form
// (logistic.cpp) and the vector forms (logistic.cpp, logistic_avx2.cpp).
namespace logistic_constants {

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

}  // namespace logistic_constants

#endif
