// The scalar row kernels: the definition of every compositing result.
#include "compositing/row_kernels.h"

#include <immintrin.h>

#include <cstddef>

#include "common/dispatch.h"

namespace vidra {
namespace compositing {
namespace {

inline std::ptrdiff_t At(int32_t x, int32_t bpp) {
    return static_cast<std::ptrdiff_t>(x) * bpp;
}

}  // namespace

void BlendScalar(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* m,
                 uint8_t* out, int32_t width, int32_t bpp) {
    const uint32_t w1 = static_cast<uint32_t>(wb), w0 = 256u - w1;
    for (int32_t x = 0; x < width; ++x) {
        const uint32_t mf = m[x];
        const uint32_t mb = 255u - mf;
        const std::ptrdiff_t p = At(x, bpp);
        for (int32_t c = 0; c < 3; ++c) {
            const uint32_t b = (b0[p + c] * w0 + b1[p + c] * w1 + 128u) >> 8;
            out[p + c] = static_cast<uint8_t>((f[p + c] * mf + b * mb + 127u) / 255u);
        }
        if (bpp == 4) out[p + 3] = 255;
    }
}

void PackScalar(const uint8_t* src, RowLayout from, const uint8_t* alpha, uint8_t* dst,
                RowLayout to, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* s = src + At(x, from.bpp);
        uint8_t* d = dst + At(x, to.bpp);
        const uint8_t r = s[from.red], g = s[from.green], b = s[from.blue];
        d[to.red] = r;
        d[to.green] = g;
        d[to.blue] = b;
        if (to.bpp == 4) d[3] = alpha != nullptr ? alpha[x] : 255;
    }
}

void AccumulateWeightedScalar(const uint8_t* src, int32_t bpp, const uint8_t* m, uint32_t* acc,
                              int32_t width, int32_t group) {
    for (int32_t x = 0; x < width; ++x) {
        const uint32_t w = 256u - m[x];
        const uint8_t* s = src + At(x, bpp);
        uint32_t* a = acc + At(x / group, 4);
        a[0] += w * s[0];
        a[1] += w * s[1];
        a[2] += w * s[2];
        a[3] += w;
    }
}

void UpsampleRowScalar(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width,
                       int32_t bpp) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* lo = cells + At(axis.lo[x], 4);
        const uint8_t* hi = cells + At(axis.hi[x], 4);
        const uint32_t w = static_cast<uint32_t>(axis.wq[x]);
        uint8_t* d = dst + At(x, bpp);
        for (int32_t c = 0; c < bpp; ++c)
            d[c] = static_cast<uint8_t>((lo[c] * (256u - w) + hi[c] * w + 128u) >> 8);
    }
}

void AccumulateLumaMaskScalar(const uint8_t* src, RowLayout from, const uint8_t* m,
                              uint32_t* acc, int32_t width, int32_t group, uint8_t* luma) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* s = src + At(x, from.bpp);
        const uint32_t y = (77u * s[from.red] + 150u * s[from.green] + 29u * s[from.blue] + 128u) >> 8;
        luma[x] = static_cast<uint8_t>(y);
        uint32_t* a = acc + At(x / group, 2);
        a[0] += y;
        a[1] += m[x];
    }
}

void UpsampleFloatRowScalar(const float* cells, AxisSamples axis, float* dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const float w = axis.wf[x];
        dst[x] = cells[axis.lo[x]] * (1.0f - w) + cells[axis.hi[x]] * w;
    }
}

void RefineRowScalar(const uint8_t* luma, const float* a0, const float* a1, const float* b0,
                     const float* b1, float w, uint8_t* out, int32_t width) {
    const float v = 1.0f - w;
    for (int32_t x = 0; x < width; ++x) {
        const float a = a0[x] * v + a1[x] * w;
        const float b = b0[x] * v + b1[x] * w;
        float q = a * static_cast<float>(luma[x]) + b + 0.5f;
        // In the order of the vector max/min, which also send NaN to 0.
        q = q > 0.0f ? q : 0.0f;
        q = q < 255.0f ? q : 255.0f;
        out[x] = static_cast<uint8_t>(_mm_cvttss_si32(_mm_set_ss(q)));
    }
}

void SumRowsScalar(const float* const* rows, int32_t count, float* dst, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        float sum = rows[0][i];
        for (int32_t j = 1; j < count; ++j) sum += rows[j][i];
        dst[i] = sum;
    }
}

void FillRowKernels(RowKernels& k, CpuTier tier) {
    k.blend = BlendScalar;
    k.pack = PackScalar;
    k.accumulateWeighted = AccumulateWeightedScalar;
    k.upsampleRow = UpsampleRowScalar;
    k.accumulateLumaMask = AccumulateLumaMaskScalar;
    k.upsampleFloatRow = UpsampleFloatRowScalar;
    k.refineRow = RefineRowScalar;
    k.sumRows = SumRowsScalar;
    // SSE2 has no twins of its own here: the baseline tier runs the scalar set.
    if (tier >= CpuTier::kAvx2) FillRowKernelsAvx2(k);
}

const RowKernels& ActiveRowKernels() {
    return ActiveKernels<RowKernels, FillRowKernels>();
}

const RowKernels& ScalarRowKernels() {
    static const RowKernels table = KernelsForTier<RowKernels, FillRowKernels>(CpuTier::kScalar);
    return table;
}

const RowKernels& Avx2RowKernels() {
    static const RowKernels table = KernelsForTier<RowKernels, FillRowKernels>(CpuTier::kAvx2);
    return table;
}

}  // namespace compositing
}  // namespace vidra
