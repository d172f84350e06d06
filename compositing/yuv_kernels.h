// Row kernels of compositing on NV12 and I420 planes, a kernel table in the
// idiom of common/dispatch.h: each scalar kernel defines the result, its AVX2
// twin gives the same bytes. No inline code here, so the AVX2 file may
// include this header.
#ifndef VIDRA_COMPOSITING_YUV_KERNELS_H
#define VIDRA_COMPOSITING_YUV_KERNELS_H

#include <cstdint>

#include "common/cpu_features.h"
#include "compositing/row_kernels.h"

namespace vidra {
namespace compositing {

// Weighted sums of one chroma row's block (planar, one entry per chroma
// column j).
struct YuvSums {
    uint32_t* luma;    // += sum over the block's luma pixels of (256 - m) * Y
    uint32_t* u;       // += weight(j) * U(j)
    uint32_t* v;       // += weight(j) * V(j)
    uint32_t* weight;  // += weight(j) = sum over the block's luma pixels of (256 - m)
};

struct YuvKernels {
    // Chroma column j covers luma columns 2j and 2j + 1 (the second only when
    // below width) of luma rows y0 and y1 (y1 and m1 null when the frame has
    // no second row there); u[j * uvStep], v[j * uvStep] are its chroma
    // bytes (NV12: uvStep 2, v = u + 1; I420: uvStep 1).
    void (*accumulate)(const uint8_t* y0, const uint8_t* y1, const uint8_t* m0, const uint8_t* m1,
                       const uint8_t* u, const uint8_t* v, int32_t uvStep, YuvSums sums, int32_t width);
    // The mask at chroma resolution: out[j] = (m0[2j] + m0[2j'] + m1[2j] +
    // m1[2j'] + 2) >> 2 with 2j' = min(2j + 1, width - 1), m1 = m0 when null.
    void (*chromaMask)(const uint8_t* m0, const uint8_t* m1, uint8_t* out, int32_t width);
    // dst[x * count + c] = (cells[4 lo + first + c] * (256 - w) +
    // cells[4 hi + first + c] * w + 128) >> 8 for c < count (1 or 2).
    void (*upsample)(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width, int32_t first,
                     int32_t count);
    // out[x] = (f[x] * m + b * (255 - m) + 127) / 255 with b = (b0[x] *
    // (256 - wb) + b1[x] * wb + 128) >> 8 and m = mask[x >> pairs] (pairs 1
    // for interleaved U, V), x < n. out may be f.
    void (*blend)(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* mask,
                  int32_t pairs, uint8_t* out, int32_t n);
};

void AccumulateYuvScalar(const uint8_t* y0, const uint8_t* y1, const uint8_t* m0, const uint8_t* m1,
                         const uint8_t* u, const uint8_t* v, int32_t uvStep, YuvSums sums, int32_t width);
void ChromaMaskScalar(const uint8_t* m0, const uint8_t* m1, uint8_t* out, int32_t width);
void UpsampleCellsScalar(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width, int32_t first,
                         int32_t count);
void BlendPlaneScalar(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* mask,
                      int32_t pairs, uint8_t* out, int32_t n);

void FillYuvKernels(YuvKernels& k, CpuTier tier);
void FillYuvKernelsAvx2(YuvKernels& k);
// Filled once for ActiveCpuTier().
const YuvKernels& ActiveYuvKernels();

}  // namespace compositing
}  // namespace vidra

#endif
