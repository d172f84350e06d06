// The mask refinement behind VidraRefineMask: a guided filter with the
// frame's luminance as guide, its statistics and coefficients computed on
// block averages and the coefficients sampled back bilinearly. Arguments are
// checked by the caller (CheckRefineArguments).
#ifndef VIDRA_COMPOSITING_REFINE_MASK_H
#define VIDRA_COMPOSITING_REFINE_MASK_H

#include <cstddef>
#include <cstdint>

#include "compositing/row_kernels.h"
#include "vidra.h"

namespace vidra {
namespace compositing {

// Window radius in frame pixels, block factor, the radius in blocks and the
// regulariser for luminance in 0..255.
struct RefinePlan {
    int32_t radius;
    int32_t factor;
    int32_t group;  // pixels summed together in a row first (1 or 2, divides factor)
    int32_t cellsWide;
    int32_t cellsHigh;
    int32_t cellRadius;
    float epsilon;
};

// options may be null (defaults); BAD_STRUCT_SIZE or BAD_OPTION otherwise.
int32_t CheckRefineOptions(const VidraRefineOptions* options);
RefinePlan PlanRefine(int32_t width, int32_t height, const VidraRefineOptions* options);

int32_t CheckRefineArguments(const VidraImage* frame, const VidraMask* mask,
                             const VidraRefineOptions* options, const VidraMask* output);

// As CompositeScratchBytes.
bool RefineScratchBytes(int32_t width, int32_t height, const RefinePlan& plan, size_t* bytes);

void RefineChecked(const VidraImage& frame, const VidraMask& mask, const RefinePlan& plan,
                   VidraMask& output, void* scratch, size_t scratchBytes, const RowKernels& kernels);

}  // namespace compositing
}  // namespace vidra

#endif
