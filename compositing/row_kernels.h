// Row kernels of compositing and mask refinement, a kernel table in the idiom
// of common/dispatch.h. Each exists as a scalar kernel, which defines the
// result, and as an AVX2 twin giving the same bytes. This header declares no
// inline code, so the AVX2 file may include it.
#ifndef VIDRA_COMPOSITING_ROW_KERNELS_H
#define VIDRA_COMPOSITING_ROW_KERNELS_H

#include <cstdint>

#include "common/cpu_features.h"

namespace vidra {
namespace compositing {

// Bilinear sampling positions along one axis of an upsampling: for output i,
// cells lo[i] and hi[i] with weight w[i] of hi (wq out of 256, wf as float).
struct AxisSamples {
    const int32_t* lo;
    const int32_t* hi;
    const int32_t* wq;
    const float* wf;
};

// Pixel layout of a row: bytes per pixel (3 or 4) and the byte offsets of
// red, green and blue.
struct RowLayout {
    int32_t bpp;
    int32_t red;
    int32_t green;
    int32_t blue;
};

// Most rows one sumRows call adds (a box of radius 31).
constexpr int32_t kMaxSumRows = 63;

struct RowKernels {
    // out = (f * m + b * (255 - m) + 127) / 255 per colour byte, where the
    // background b = (b0 * (256 - wb) + b1 * wb + 128) >> 8 (wb 0..256; 0
    // gives b0); f, b0, b1 and out share the layout (bpp 3 or 4); a fourth
    // byte of out becomes 255.
    void (*blend)(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb,
                  const uint8_t* m, uint8_t* out, int32_t width, int32_t bpp);
    // Reorders the colours of src into dst's layout; a fourth byte of dst
    // becomes alpha[x], or 255 when alpha is null.
    void (*pack)(const uint8_t* src, RowLayout from, const uint8_t* alpha, uint8_t* dst,
                 RowLayout to, int32_t width);
    // With q = x / group (group 2 or 4): acc[4q + c] += (256 - m[x]) *
    // src[x * bpp + c] for c < 3, and acc[4q + 3] += 256 - m[x].
    void (*accumulateWeighted)(const uint8_t* src, int32_t bpp, const uint8_t* m, uint32_t* acc,
                               int32_t width, int32_t group);
    // dst[x * bpp + c] = (cells[4 lo + c] * (256 - w) + cells[4 hi + c] * w + 128) >> 8,
    // c < bpp (cells hold 4 bytes each).
    void (*upsampleRow)(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width,
                        int32_t bpp);
    // luma[x] = (77 red + 150 green + 29 blue + 128) >> 8 of pixel x, and with
    // q = x / group (group 1 or 2): acc[2q] += luma[x], acc[2q + 1] += m[x].
    void (*accumulateLumaMask)(const uint8_t* src, RowLayout from, const uint8_t* m,
                               uint32_t* acc, int32_t width, int32_t group, uint8_t* luma);
    // dst[x] = cells[lo] * (1 - wf) + cells[hi] * wf (float cells).
    void (*upsampleFloatRow)(const float* cells, AxisSamples axis, float* dst, int32_t width);
    // With a = a0 (1 - w) + a1 w and b likewise at each pixel:
    // out[x] = a luma[x] + b + 0.5 clamped to 0..255 and truncated.
    void (*refineRow)(const uint8_t* luma, const float* a0, const float* a1, const float* b0,
                      const float* b1, float w, uint8_t* out, int32_t width);
    // dst[i] = rows[0][i] + rows[1][i] + ... + rows[count - 1][i], added in
    // that order (the box sums of the reduced-resolution passes).
    void (*sumRows)(const float* const* rows, int32_t count, float* dst, int32_t n);
};

// The scalar kernels (the vector set uses them for the columns its steps
// leave over).
void BlendScalar(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* m,
                 uint8_t* out, int32_t width, int32_t bpp);
void PackScalar(const uint8_t* src, RowLayout from, const uint8_t* alpha, uint8_t* dst, RowLayout to,
                int32_t width);
void AccumulateWeightedScalar(const uint8_t* src, int32_t bpp, const uint8_t* m, uint32_t* acc,
                              int32_t width, int32_t group);
void UpsampleRowScalar(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width,
                       int32_t bpp);
void AccumulateLumaMaskScalar(const uint8_t* src, RowLayout from, const uint8_t* m, uint32_t* acc,
                              int32_t width, int32_t group, uint8_t* luma);
void UpsampleFloatRowScalar(const float* cells, AxisSamples axis, float* dst, int32_t width);
void RefineRowScalar(const uint8_t* luma, const float* a0, const float* a1, const float* b0,
                     const float* b1, float w, uint8_t* out, int32_t width);
void SumRowsScalar(const float* const* rows, int32_t count, float* dst, int32_t n);

// The table of `tier` (entries of the tiers above it are never used).
void FillRowKernels(RowKernels& k, CpuTier tier);
void FillRowKernelsAvx2(RowKernels& k);
// The table filled once for ActiveCpuTier(); what the routines use.
const RowKernels& ActiveRowKernels();
// The scalar table, and the table of the AVX2 tier capped at what the
// processor has (for tests and benchmarks).
const RowKernels& ScalarRowKernels();
const RowKernels& Avx2RowKernels();

}  // namespace compositing
}  // namespace vidra

#endif
