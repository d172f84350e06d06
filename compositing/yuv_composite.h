// Compositing of NV12 and I420 frames, each plane at its own resolution:
// the luma plane with the mask, the chroma planes with the mask at chroma
// resolution (the rounded mean of each 2 x 2 block, edges repeated; the
// chromaMask kernel). Arguments are checked by the caller.
#ifndef VIDRA_COMPOSITING_YUV_COMPOSITE_H
#define VIDRA_COMPOSITING_YUV_COMPOSITE_H

#include <cstdint>

#include "compositing/row_kernels.h"
#include "compositing/scratch_arena.h"
#include "compositing/yuv_kernels.h"
#include "vidra.h"

namespace vidra {
namespace compositing {

// Takes the buffers CompositeYuv uses for frames of width x height.
void TakeYuvBuffers(ScratchArena& arena, int32_t width, int32_t height, const VidraCompositeOptions& options);

// frame is NV12 or I420; output has the frame's format, or is RGBA32/BGRA32
// for TRANSPARENT (the frame converted as the input stage converts it).
// BLUR, COLOR and IMAGE write every plane of the output, reading each frame
// row before writing that row, so output may be frame.
void CompositeYuv(const VidraImage& frame, const VidraMask& mask, const VidraCompositeOptions& options,
                  VidraImage& output, ScratchArena& arena, const RowKernels& rowKernels,
                  const YuvKernels& kernels);

}  // namespace compositing
}  // namespace vidra

#endif
