// Kernel table of the YUV 4:2:0 input conversion (the idiom of
// common/dispatch.h): the pixels the resize samples from one NV12/I420 row,
// converted to RGB with the integer BT.601 formula of instances/yuv_bt601.h.
// Scalar reference in yuv_kernels.cpp, twins in yuv_kernels_{sse2,avx2}.cpp
// giving the same bytes. Plain declarations only: the AVX files
// include this header.
#ifndef VIDRA_RESAMPLING_YUV_KERNELS_H
#define VIDRA_RESAMPLING_YUV_KERNELS_H

#include <cstdint>

#include "common/cpu_features.h"

namespace vidra {
namespace resampling {

// One row of a 4:2:0 frame: luma samples, and the U and V samples of the
// row's chroma row, chromaStep bytes apart (2 for NV12's interleaved plane,
// with v = u + 1; 1 for I420's separate planes).
struct YuvRow {
    const uint8_t* luma;
    const uint8_t* u;
    const uint8_t* v;
    int32_t chromaStep;
};

struct YuvKernels {
    // rgb[3 i .. 3 i + 2] = R, G, B of the pixel at column c = cols[i],
    // i < n: luma[c] with u[(c / 2) * chromaStep] and v[(c / 2) * chromaStep].
    // Reads no other byte of the planes than those (columns >= 0, any order).
    void (*gatherRow)(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb);
    // Every pixel of the row: rgb[3 x .. 3 x + 2] for x < width, as
    // gatherRow of the columns 0 .. width - 1.
    void (*convertRow)(const YuvRow& row, int32_t width, uint8_t* rgb);
};

void GatherRowScalar(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb);
void ConvertRowScalar(const YuvRow& row, int32_t width, uint8_t* rgb);
// Pixels [xBegin, xEnd) of ConvertRowScalar: the tails of the vector twins.
void ConvertColumnsScalar(const YuvRow& row, int32_t xBegin, int32_t xEnd, uint8_t* rgb);

void FillYuvKernels(YuvKernels& k, CpuTier tier);
void FillYuvKernelsSse2(YuvKernels& k);
void FillYuvKernelsAvx2(YuvKernels& k);
const YuvKernels& ActiveYuvKernels();

}  // namespace resampling
}  // namespace vidra

#endif
