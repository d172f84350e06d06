// The exported compositing functions: argument checks, scratch memory and
// the choice of kernels. No exception leaves them and nothing is printed.
#include <cstdlib>
#include <new>

#include "compositing/composite.h"
#include "compositing/refine_mask.h"
#include "compositing/row_kernels.h"
#include "vidra.h"

namespace {

using namespace vidra::compositing;

// Runs body with the caller's scratch, or with memory of our own when there
// is none.
template <typename Body>
int32_t WithScratch(void* scratch, size_t scratchBytes, size_t needed, Body body) {
    if (scratch != nullptr) {
        if (scratchBytes < needed) return VIDRA_STATUS_SCRATCH_TOO_SMALL;
        body(scratch, scratchBytes);
        return VIDRA_STATUS_OK;
    }
    void* own = std::malloc(needed);
    if (own == nullptr) return VIDRA_STATUS_NO_MEMORY;
    body(own, needed);
    std::free(own);
    return VIDRA_STATUS_OK;
}

}  // namespace

extern "C" VIDRA_API int32_t VidraCompositeScratchSize(int32_t width, int32_t height,
                                                       const VidraCompositeOptions* options,
                                                       size_t* bytes) {
    if (options == nullptr || bytes == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    const int32_t status = CheckCompositeOptions(*options);
    if (status != VIDRA_STATUS_OK) return status;
    if (width <= 0 || height <= 0) return VIDRA_STATUS_BAD_DIMENSIONS;
    *bytes = CompositeScratchBytes(width, height, *options);
    return VIDRA_STATUS_OK;
}

extern "C" VIDRA_API int32_t VidraComposite(const VidraImage* frame, const VidraMask* mask,
                                            const VidraCompositeOptions* options, VidraImage* output,
                                            void* scratch, size_t scratchBytes) {
    try {
        const int32_t status = CheckCompositeArguments(frame, mask, options, output);
        if (status != VIDRA_STATUS_OK) return status;
        const size_t needed = CompositeScratchBytes(frame->width, frame->height, *options);
        return WithScratch(scratch, scratchBytes, needed, [&](void* s, size_t n) {
            CompositeChecked(*frame, *mask, *options, *output, s, n, ActiveRowKernels());
        });
    } catch (...) {
        return VIDRA_STATUS_NO_MEMORY;  // nothing in the routine throws but allocation
    }
}

extern "C" VIDRA_API int32_t VidraRefineScratchSize(int32_t width, int32_t height,
                                                    const VidraRefineOptions* options, size_t* bytes) {
    if (bytes == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    const int32_t status = CheckRefineOptions(options);
    if (status != VIDRA_STATUS_OK) return status;
    if (width <= 0 || height <= 0) return VIDRA_STATUS_BAD_DIMENSIONS;
    *bytes = RefineScratchBytes(width, height, PlanRefine(width, height, options));
    return VIDRA_STATUS_OK;
}

extern "C" VIDRA_API int32_t VidraRefineMask(const VidraImage* frame, const VidraMask* mask,
                                             const VidraRefineOptions* options, VidraMask* output,
                                             void* scratch, size_t scratchBytes) {
    try {
        const int32_t status = CheckRefineArguments(frame, mask, options, output);
        if (status != VIDRA_STATUS_OK) return status;
        const RefinePlan plan = PlanRefine(frame->width, frame->height, options);
        const size_t needed = RefineScratchBytes(frame->width, frame->height, plan);
        return WithScratch(scratch, scratchBytes, needed, [&](void* s, size_t n) {
            RefineChecked(*frame, *mask, plan, *output, s, n, ActiveRowKernels());
        });
    } catch (...) {
        return VIDRA_STATUS_NO_MEMORY;
    }
}
