// The compositing routine behind VidraComposite, with the row kernels as a
// parameter so that tests can run both sets. Arguments are checked by the
// caller (CheckCompositeArguments).
#ifndef VIDRA_COMPOSITING_COMPOSITE_H
#define VIDRA_COMPOSITING_COMPOSITE_H

#include <cstddef>
#include <cstdint>

#include "compositing/row_kernels.h"
#include "compositing/yuv_kernels.h"
#include "vidra.h"

namespace vidra {
namespace compositing {

// Options of a known size; BAD_STRUCT_SIZE or BAD_OPTION otherwise.
int32_t CheckCompositeOptions(const VidraCompositeOptions& options);

// Every documented check of VidraComposite but the scratch size.
int32_t CheckCompositeArguments(const VidraImage* frame, const VidraMask* mask,
                                const VidraCompositeOptions* options, const VidraImage* output);

// Scratch bytes of a call into *bytes; false (nothing written) when no
// allocation could be that large.
bool CompositeScratchBytes(int32_t width, int32_t height, const VidraCompositeOptions& options, size_t* bytes);

// scratch holds at least CompositeScratchBytes bytes. Packed frames use the
// row kernels, NV12 and I420 frames the YUV kernels (and the row kernels'
// box sums).
void CompositeChecked(const VidraImage& frame, const VidraMask& mask,
                      const VidraCompositeOptions& options, VidraImage& output, void* scratch,
                      size_t scratchBytes, const RowKernels& kernels, const YuvKernels& yuvKernels);

}  // namespace compositing
}  // namespace vidra

#endif
