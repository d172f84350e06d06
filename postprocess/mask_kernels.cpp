// The scalar mask filters (the definition of every result) and the table.
#include "postprocess/mask_kernels.h"

#include <cstddef>
#include <cstring>

#include "common/dispatch.h"
#include "postprocess/logistic_constants.h"

namespace vidra {
namespace postprocess {
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

void LogisticScalar(float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) values[i] = 1.0f / (ExpScalar(-values[i]) + 1.0f);
}

void BlurColumnsScalar(const float* source, float* destination, int32_t width, int32_t r,
                       int32_t cBegin, int32_t cEnd) {
    const std::ptrdiff_t w = width;
    // Neighbour offsets in the order their values are added to the sum.
    const std::ptrdiff_t at[8] = {w + 1, -w + 1, w - 1, -w - 1, -w, w, -1, 1};
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * w;
    for (int32_t c = cBegin; c < cEnd; ++c) {
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

void BlurInteriorScalar(const float* source, float* destination, int32_t width, int32_t height) {
    for (int32_t r = 1; r < height - 1; ++r) BlurColumnsScalar(source, destination, width, r, 1, width - 1);
}

void FillMaskKernels(MaskKernels& k, CpuTier tier) {
    k.logistic = LogisticScalar;
    k.blurInterior = BlurInteriorScalar;
    if (tier >= CpuTier::kSse2) FillMaskKernelsSse2(k);
    if (tier >= CpuTier::kAvx2) FillMaskKernelsAvx2(k);
    if (tier >= CpuTier::kAvx512) FillMaskKernelsAvx512(k);
}

const MaskKernels& ActiveMaskKernels() {
    return ActiveKernels<MaskKernels, FillMaskKernels>();
}

}  // namespace postprocess
}  // namespace vidra
