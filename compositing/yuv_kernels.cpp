// The scalar YUV compositing kernels: the definition of every result.
#include "compositing/yuv_kernels.h"

#include <cstddef>

#include "common/dispatch.h"

namespace vidra {
namespace compositing {

void AccumulateYuvScalar(const uint8_t* y0, const uint8_t* y1, const uint8_t* m0, const uint8_t* m1,
                         const uint8_t* u, const uint8_t* v, int32_t uvStep, YuvSums sums, int32_t width) {
    const int32_t chroma = (width + 1) / 2;
    for (int32_t j = 0; j < chroma; ++j) {
        uint32_t luma = 0, weight = 0;
        for (int32_t x = 2 * j; x < 2 * j + 2 && x < width; ++x) {
            const uint32_t w0 = 256u - m0[x];
            luma += w0 * y0[x];
            weight += w0;
            if (y1 != nullptr) {
                const uint32_t w1 = 256u - m1[x];
                luma += w1 * y1[x];
                weight += w1;
            }
        }
        const std::ptrdiff_t c = static_cast<std::ptrdiff_t>(j) * uvStep;
        sums.luma[j] += luma;
        sums.u[j] += weight * u[c];
        sums.v[j] += weight * v[c];
        sums.weight[j] += weight;
    }
}

void ChromaMaskScalar(const uint8_t* m0, const uint8_t* m1, uint8_t* out, int32_t width) {
    if (m1 == nullptr) m1 = m0;
    const int32_t chroma = (width + 1) / 2;
    for (int32_t j = 0; j < chroma; ++j) {
        const int32_t a = 2 * j, b = a + 1 < width ? a + 1 : a;
        out[j] = static_cast<uint8_t>((m0[a] + m0[b] + m1[a] + m1[b] + 2) >> 2);
    }
}

void UpsampleCellsScalar(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width, int32_t first,
                         int32_t count) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* lo = cells + static_cast<std::ptrdiff_t>(axis.lo[x]) * 4 + first;
        const uint8_t* hi = cells + static_cast<std::ptrdiff_t>(axis.hi[x]) * 4 + first;
        const uint32_t w = static_cast<uint32_t>(axis.wq[x]);
        for (int32_t c = 0; c < count; ++c)
            dst[static_cast<std::ptrdiff_t>(x) * count + c] =
                static_cast<uint8_t>((lo[c] * (256u - w) + hi[c] * w + 128u) >> 8);
    }
}

void BlendPlaneScalar(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* mask,
                      int32_t pairs, uint8_t* out, int32_t n) {
    const uint32_t w1 = static_cast<uint32_t>(wb), w0 = 256u - w1;
    for (int32_t x = 0; x < n; ++x) {
        const uint32_t m = mask[x >> pairs];
        const uint32_t b = (b0[x] * w0 + b1[x] * w1 + 128u) >> 8;
        out[x] = static_cast<uint8_t>((f[x] * m + b * (255u - m) + 127u) / 255u);
    }
}

void FillYuvKernels(YuvKernels& k, CpuTier tier) {
    k = {AccumulateYuvScalar, ChromaMaskScalar, UpsampleCellsScalar, BlendPlaneScalar};
    if (tier >= CpuTier::kAvx2) FillYuvKernelsAvx2(k);
}

const YuvKernels& ActiveYuvKernels() { return ActiveKernels<YuvKernels, FillYuvKernels>(); }

}  // namespace compositing
}  // namespace vidra
