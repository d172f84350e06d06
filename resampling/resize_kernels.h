// Kernel table of the resize routines (the idiom of common/dispatch.h). Each
// entry exists as a scalar kernel, which defines its result, and as twins of
// the higher tiers giving the same bits: SSE2 (resize_kernels_sse2.cpp) and
// AVX2 (resize_kernels_avx2.cpp). The AVX-512 tier keeps the AVX2 kernels:
// 16-lane gathers and 128-byte permutations measured no faster on the input
// resize, and the mask resize is bound by its row expansion. Plain
// declarations only: the AVX files include this header.
#ifndef VIDRA_RESAMPLING_RESIZE_KERNELS_H
#define VIDRA_RESAMPLING_RESIZE_KERNELS_H

#include <cstdint>

#include "common/cpu_features.h"
#include "resampling/resize_geometry.h"

namespace vidra {
namespace resampling {

// The tables of one 8-bit resize as plain pointers: column runs x0|x1 and
// wx0|wx1 of dstWidth entries, row runs y0|y1 and wy0|wy1 of dstHeight.
// Indices carry the pixel step and never decrease along a run (as BuildAxis
// makes them); x1[i] >= x0[i].
struct ResizeTableView {
    const int32_t* x0;
    const int32_t* x1;
    const float* wx0;
    const float* wx1;
    const int32_t* y0;
    const int32_t* y1;
    const float* wy0;
    const float* wy1;
    int32_t dstWidth;
    int32_t dstHeight;
};

// The view of tables laid out in four runs x0|x1|y0|y1 and wx0|wx1|wy0|wy1.
ResizeTableView ViewTables(const int32_t* indices, const float* weights, int32_t dstWidth,
                           int32_t dstHeight);

// Per-row state of ResizeFloat.
struct FloatRow {
    const float* src0;  // source row yi
    const float* src1;  // the row below (the same row when the source is 1 high)
    float ay;           // weight of src1
    float oneMinusAy;   // 1 - ay
};
// Per-axis constants of ResizeFloat: scale, highest lower index and the
// offset of the upper neighbour (0 when the source is 1 wide).
struct FloatAxis {
    float scale;
    int32_t maxIndex;
    int32_t next;
};
FloatAxis MakeFloatAxis(int32_t S, int32_t D);
FloatRow MakeFloatRow(const float* src, int32_t srcWidth, const FloatAxis& rows, int32_t y);

// x86 truncation toward zero: out-of-range values and NaN give INT32_MIN, the
// same as the vector conversions, where a C++ cast would be undefined.
int32_t TruncToInt32(float value);

struct ResizeKernels {
    // One axis of the tables, positions [0, D): source size S, destination
    // size D, indices multiplied by step. D == 1 samples source position 0
    // (indices 0, weights 1 and 0), since the scale divides by D - 1.
    void (*buildAxis)(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
                      float* w1);
    // Destination row y of the channel resize (halves round up), all
    // dstWidth columns: byte x * step of dstRow. src0 and src1 point at the
    // two source rows (already offset to the channel); the tables carry the
    // step.
    void (*channelRow)(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t,
                       int32_t y, int32_t step, uint8_t* dstRow);
    // Destination row y of the three-channel resize (step 3 or 4 in both
    // images, the tables carrying it): byte x * step + c of dstRow, c < 3, is
    // what channelRow gives for source channel c, or 2 - c when swapRedBlue.
    // A fourth byte of each pixel is left as it is.
    void (*pixelRow)(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                     int32_t step, bool swapRedBlue, uint8_t* dstRow);
    // The whole mask resize (step-1 tables; rounds to nearest, ties to
    // even): dst is dstWidth x dstHeight, src is srcWidth wide.
    void (*resizeMask)(const ResizeTableView& t, const uint8_t* src, int32_t srcWidth,
                       uint8_t* dst);
    // One destination row of the corner-aligned float resize, dstWidth columns.
    void (*floatRow)(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow);
};

// The scalar kernels: the definition of every result.
void BuildAxisScalar(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
                     float* w1);
void ChannelRowScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                      int32_t step, uint8_t* dstRow);
void PixelRowScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                    int32_t step, bool swapRedBlue, uint8_t* dstRow);
void ResizeMaskScalar(const ResizeTableView& t, const uint8_t* src, int32_t srcWidth, uint8_t* dst);
void FloatRowScalar(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow);
// Columns [xBegin, xEnd) of the scalar kernels: the tails of the vector twins.
void BuildAxisRangeScalar(int32_t S, int32_t D, int32_t step, int32_t begin, int32_t* i0,
                          int32_t* i1, float* w0, float* w1);
void ChannelColumnsScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t,
                          int32_t y, int32_t step, int32_t xBegin, int32_t xEnd, uint8_t* dstRow);
void MaskColumnsScalar(const ResizeTableView& t, const uint8_t* src0, const uint8_t* src1, int32_t y,
                       int32_t xBegin, int32_t xEnd, uint8_t* dstRow);
void FloatColumnsScalar(const FloatRow& row, const FloatAxis& cols, int32_t xBegin, int32_t xEnd,
                        float* dstRow);

// Whole-plane resizes over a given table, tables allocated and built per call
// (std::bad_alloc when memory is short): the bodies of RGBPROCESS's routines,
// which pass the active table, and what the benchmarks time at each tier.
// Sizes must be at least 1; the planes are contiguous.
void ResizeChannelPlane(const ResizeKernels& k, const uint8_t* src, uint8_t* dst, const ResizeGeometry& g,
                        int32_t step);
// Bytes 0..2 of every pixel (step 3 or 4), as ResizeChannelPlane of each channel.
void ResizePixelPlane(const ResizeKernels& k, const uint8_t* src, uint8_t* dst, const ResizeGeometry& g,
                      int32_t step);
void ResizeMaskPlane(const ResizeKernels& k, const uint8_t* src, uint8_t* dst, const ResizeGeometry& g);
void ResizeFloatPlane(const ResizeKernels& k, const float* src, float* dst, const ResizeGeometry& g);

// The table of `tier` (entries of the tiers above it are never used).
void FillResizeKernels(ResizeKernels& k, CpuTier tier);
void FillResizeKernelsSse2(ResizeKernels& k);
void FillResizeKernelsAvx2(ResizeKernels& k);
// The table filled once for ActiveCpuTier().
const ResizeKernels& ActiveResizeKernels();

}  // namespace resampling
}  // namespace vidra

#endif
