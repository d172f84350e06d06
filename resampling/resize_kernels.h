// Row kernels of the resize routines for baseline x86-64 (SSE2), each vector
// kernel beside the scalar kernel that defines its result. The scalar kernels
// also handle the columns a vector step cannot cover, and the tests and
// benchmarks compare the two. The AVX2 twins are in resize_kernels_avx2.h.
#ifndef VIDRA_RESAMPLING_RESIZE_KERNELS_H
#define VIDRA_RESAMPLING_RESIZE_KERNELS_H

#include <cstdint>

#include "resampling/resize_geometry.h"
#include "resampling/rgb_process.h"

namespace rgbproc {
namespace kernels {

// x86 truncation toward zero: out-of-range values and NaN give INT32_MIN, the
// same as the vector conversion, where a C++ cast would be undefined.
int32_t TruncToInt32(float value);

// One axis of the resize tables, positions [begin, D): source size S,
// destination size D, indices multiplied by step. D == 1 samples source
// position 0 (indices 0, weights 1 and 0), since the scale divides by D - 1.
void BuildAxisScalar(int32_t S, int32_t D, int32_t step, int32_t begin, int32_t* i0,
                     int32_t* i1, float* w0, float* w1);
// Whole tables with scalar arithmetic only (the reference of BuildResizeTables).
void BuildResizeTablesScalar(int32_t* indices, float* weights, const ResizeGeometry* geometry,
                             int32_t step);

// One destination row of ResizeUcharChannel, columns [xBegin, xEnd). src0 and
// src1 point at the two source rows, dstRow at column 0 of the destination row.
void ChannelRowScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTables& tables,
                      int32_t y, int32_t step, int32_t xBegin, int32_t xEnd, uint8_t* dstRow);
// Four columns per pass with SSE2 arithmetic, the remainder scalar.
void ChannelRowSse(const uint8_t* src0, const uint8_t* src1, const ResizeTables& tables, int32_t y,
                   int32_t step, int32_t dstWidth, uint8_t* dstRow);

// One destination byte of ResizeUcharMask (column x of row y).
uint8_t InterpolateOne(const ResizeTables& tables, const uint8_t* src, int32_t x, int32_t y,
                       int32_t row0, int32_t row1);
// Columns x .. x+3 with SSE2 arithmetic; x + 3 < dstWidth.
uint32_t InterpolateFourSse(const ResizeTables& tables, const uint8_t* src, int32_t x, int32_t y,
                            int32_t row0, int32_t row1);
// Whole mask resize (tables built by the caller): InterpolateFour groups
// along each row, the last, partial group column by column.
void ResizeMaskSse(const ResizeTables& tables, const uint8_t* src, uint8_t* dst,
                   int32_t srcWidth);
// Whole mask resize (tables built by the caller) with scalar arithmetic only.
void ResizeMaskScalar(const ResizeTables& tables, const uint8_t* src, uint8_t* dst,
                      int32_t srcWidth);

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
// One destination row of ResizeFloat, columns [xBegin, xEnd).
void FloatRowScalar(const FloatRow& row, const FloatAxis& cols, int32_t xBegin, int32_t xEnd,
                    float* dstRow);
// Four columns per pass with SSE2 arithmetic, the remainder scalar.
void FloatRowSse(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow);

}  // namespace kernels
}  // namespace rgbproc

#endif
