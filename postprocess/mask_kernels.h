// Kernel table of the mask filters (the idiom of common/dispatch.h): the
// logistic activation and the edge blur. Each entry exists as a scalar kernel,
// which defines its result, and as SSE2, AVX2 and AVX-512 twins giving the
// same bits (mask_kernels_{sse2,avx2,avx512}.cpp). Plain declarations only:
// the AVX files include this header.
#ifndef VIDRA_POSTPROCESS_MASK_KERNELS_H
#define VIDRA_POSTPROCESS_MASK_KERNELS_H

#include <cstddef>
#include <cstdint>

#include "common/cpu_features.h"

namespace vidra {
namespace postprocess {

struct MaskKernels {
    // values[i] = 1 / (Exp(-values[i]) + 1), i < count, in place, with the
    // single-precision exp of ExpScalar.
    void (*logistic)(float* values, std::size_t count);
    // The interior pixels (rows and columns 1 .. size - 2) of a width x height
    // plane (width, height > 2): each pixel averaged with those of its eight
    // neighbours that are strictly lower, added in the order of
    // kBlurNeighbours. Writes nothing else of destination.
    void (*blurInterior)(const float* source, float* destination, int32_t width, int32_t height);
};

// Single-precision exp, the scalar reference of the vector ones: within
// 1 ulp of exp over every float in [-104, 89] (subnormal results rounded
// once), +inf above about 88.72, 0 below -104 and at -inf, a NaN returned as
// it came.
float ExpScalar(float x);

void LogisticScalar(float* values, std::size_t count);
void BlurInteriorScalar(const float* source, float* destination, int32_t width, int32_t height);
// Interior columns [cBegin, cEnd) of row r: the tails of the vector twins.
void BlurColumnsScalar(const float* source, float* destination, int32_t width, int32_t r,
                       int32_t cBegin, int32_t cEnd);

void FillMaskKernels(MaskKernels& k, CpuTier tier);
void FillMaskKernelsSse2(MaskKernels& k);
void FillMaskKernelsAvx2(MaskKernels& k);
void FillMaskKernelsAvx512(MaskKernels& k);
const MaskKernels& ActiveMaskKernels();

}  // namespace postprocess
}  // namespace vidra

#endif
