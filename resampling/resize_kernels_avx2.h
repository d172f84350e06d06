// The AVX2 kernels of the resize routines (resize_kernels_avx2.cpp, compiled
// with -mavx2). Call them only when vidra::CpuHasAvx2() is true. Plain
// declarations only: this header is shared with baseline code and must not
// carry inline functions.
#ifndef VIDRA_RESAMPLING_RESIZE_KERNELS_AVX2_H
#define VIDRA_RESAMPLING_RESIZE_KERNELS_AVX2_H

#include <cstdint>

namespace rgbproc {
namespace kernels {
namespace avx2 {

// Positions [0, returned count) of one table axis, sixteen per step while at
// least sixteen remain; the caller finishes the axis with BuildAxisScalar.
int32_t BuildAxis(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
                  float* w1);

// The whole mask resize from tables of step 1 (indices and weights laid out
// as in ResizeTables), bytes identical to ResizeMaskScalar. Columns go in
// chunks of a few hundred: each source row is expanded once per chunk to
// the float samples of every column (a byte shuffle per eight columns), the
// rows of a row pair then need only the formula, 32 columns per step, and
// blocks where all four samples are one value (flat mask areas) are copied.
void ResizeMask(const int32_t* indices, const float* weights, int32_t dstWidth,
                int32_t dstHeight, const uint8_t* src, int32_t srcWidth, uint8_t* dst);

// Columns [0, returned count) of one destination row of ResizeFloat, eight
// per step (samples by permutes of eight loaded floats where an enlargement
// keeps them that close, else by gathers); the caller finishes the row with
// FloatRowScalar. src0/src1 are the two source
// rows, ay the weight of src1, oneMinusAy = 1 - ay; scale, maxIndex and next
// as in FloatAxis.
int32_t FloatRow(const float* src0, const float* src1, float ay, float oneMinusAy, float scale,
                 int32_t maxIndex, int32_t next, int32_t dstWidth, float* dstRow);

}  // namespace avx2
}  // namespace kernels
}  // namespace rgbproc

#endif
