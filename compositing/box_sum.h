// Box sums over the small reduced-resolution planes, edges repeated, built on
// the sumRows kernel so that both kernel sets add in the same order.
#ifndef VIDRA_COMPOSITING_BOX_SUM_H
#define VIDRA_COMPOSITING_BOX_SUM_H

#include <cstddef>
#include <cstdint>

#include "compositing/row_kernels.h"

namespace vidra {
namespace compositing {

// Floats BoxSum needs in `pad`.
size_t BoxSumPadFloats(int32_t cells, int32_t channels, int32_t radius);

// dst = sums over (2 radius + 1)^2 cells of src (rows x cells cells of
// `channels` floats), along rows into `line`, then along columns. dst may be
// src; radius <= (kMaxSumRows - 1) / 2.
void BoxSum(const float* src, float* line, float* dst, int32_t cells, int32_t rows, int32_t channels,
            int32_t radius, float* pad, const RowKernels& kernels);

}  // namespace compositing
}  // namespace vidra

#endif
