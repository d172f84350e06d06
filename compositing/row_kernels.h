// Row kernels of compositing and mask refinement. Each exists as a scalar
// kernel, which defines the result, and as an AVX2 twin giving the same
// bytes; a table holds one set. This header declares no inline code, so the
// AVX2 file may include it.
#ifndef VIDRA_COMPOSITING_ROW_KERNELS_H
#define VIDRA_COMPOSITING_ROW_KERNELS_H

#include <cstdint>

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
    // out = (f * m + b * (255 - m) + 127) / 255 per colour byte; f, b and out
    // share the layout (bpp 3 or 4); a fourth byte of out becomes 255.
    void (*blend)(const uint8_t* f, const uint8_t* b, const uint8_t* m, uint8_t* out,
                  int32_t width, int32_t bpp);
    // Reorders the colours of src into dst's layout; a fourth byte of dst
    // becomes alpha[x], or 255 when alpha is null.
    void (*pack)(const uint8_t* src, RowLayout from, const uint8_t* alpha, uint8_t* dst,
                 RowLayout to, int32_t width);
    // acc[4x + c] += (256 - m[x]) * src[x * bpp + c] for c < 3, and
    // acc[4x + 3] += 256 - m[x].
    void (*accumulateWeighted)(const uint8_t* src, int32_t bpp, const uint8_t* m, uint32_t* acc,
                               int32_t width);
    // dst[x * bpp + c] = (cells[4 lo + c] * (256 - w) + cells[4 hi + c] * w + 128) >> 8,
    // c < bpp (cells hold 4 bytes each).
    void (*upsampleRow)(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width,
                        int32_t bpp);
    // dst[i] = (r0[i] * (256 - w) + r1[i] * w + 128) >> 8, w in 0..256.
    void (*lerpRows)(const uint8_t* r0, const uint8_t* r1, int32_t w, uint8_t* dst, int32_t n);
    // acc[2x] += luma of pixel x, acc[2x + 1] += m[x]; luma is
    // (77 red + 150 green + 29 blue + 128) >> 8.
    void (*accumulateLumaMask)(const uint8_t* src, RowLayout from, const uint8_t* m,
                               uint32_t* acc, int32_t width);
    // dst[x] = cells[lo] * (1 - wf) + cells[hi] * wf (float cells).
    void (*upsampleFloatRow)(const float* cells, AxisSamples axis, float* dst, int32_t width);
    // With a = a0 (1 - w) + a1 w and b likewise at each pixel, and Y its
    // luma: out[x] = a Y + b + 0.5 clamped to 0..255 and truncated.
    void (*refineRow)(const uint8_t* src, RowLayout from, const float* a0, const float* a1,
                      const float* b0, const float* b1, float w, uint8_t* out, int32_t width);
    // dst[i] = rows[0][i] + rows[1][i] + ... + rows[count - 1][i], added in
    // that order (the box sums of the reduced-resolution passes).
    void (*sumRows)(const float* const* rows, int32_t count, float* dst, int32_t n);
};

// The scalar kernels (the vector set uses them for the columns its steps
// leave over).
void BlendScalar(const uint8_t* f, const uint8_t* b, const uint8_t* m, uint8_t* out, int32_t width,
                 int32_t bpp);
void PackScalar(const uint8_t* src, RowLayout from, const uint8_t* alpha, uint8_t* dst, RowLayout to,
                int32_t width);
void AccumulateWeightedScalar(const uint8_t* src, int32_t bpp, const uint8_t* m, uint32_t* acc,
                              int32_t width);
void UpsampleRowScalar(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width,
                       int32_t bpp);
void LerpRowsScalar(const uint8_t* r0, const uint8_t* r1, int32_t w, uint8_t* dst, int32_t n);
void AccumulateLumaMaskScalar(const uint8_t* src, RowLayout from, const uint8_t* m, uint32_t* acc,
                              int32_t width);
void UpsampleFloatRowScalar(const float* cells, AxisSamples axis, float* dst, int32_t width);
void RefineRowScalar(const uint8_t* src, RowLayout from, const float* a0, const float* a1,
                     const float* b0, const float* b1, float w, uint8_t* out, int32_t width);
void SumRowsScalar(const float* const* rows, int32_t count, float* dst, int32_t n);

const RowKernels& ScalarRowKernels();
// Only to be used when vidra::CpuHasAvx2() is true.
const RowKernels& Avx2RowKernels();
// The AVX2 set when the processor has it, else the scalar set.
const RowKernels& ActiveRowKernels();

}  // namespace compositing
}  // namespace vidra

#endif
