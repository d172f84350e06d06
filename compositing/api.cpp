// The exported compositing functions: argument checks, scratch memory and
// the choice of kernels. No exception leaves them and nothing is printed.
#include <cstdlib>
#include <memory>
#include <new>

#include "compositing/composite.h"
#include "compositing/refine_mask.h"
#include "compositing/row_kernels.h"
#include "vidra.h"

namespace {

using namespace vidra::compositing;

// The size queries once their pointers are there: options first, then the
// dimensions; bytes(size_t*) runs only when both are valid and answers false
// for a size no allocation can have (BAD_DIMENSIONS).
template <typename Bytes>
int32_t AnswerScratchSize(int32_t optionStatus, int32_t width, int32_t height, size_t* out, Bytes bytes) {
    if (optionStatus != VIDRA_STATUS_OK) return optionStatus;
    if (width <= 0 || height <= 0) return VIDRA_STATUS_BAD_DIMENSIONS;
    return bytes(out) ? VIDRA_STATUS_OK : VIDRA_STATUS_BAD_DIMENSIONS;
}

// Both calls: check() the arguments, then body with the caller's scratch
// (at least the bytes needed(&bytes) answers), or with memory of our own
// when there is none.
// Nothing in the routines throws but allocation.
template <typename Check, typename Needed, typename Body>
int32_t RunWithScratch(void* scratch, size_t scratchBytes, Check check, Needed needed, Body body) {
    try {
        const int32_t status = check();
        if (status != VIDRA_STATUS_OK) return status;
        size_t bytes = 0;
        if (!needed(&bytes)) return VIDRA_STATUS_BAD_DIMENSIONS;
        if (scratch != nullptr) {
            if (scratchBytes < bytes) return VIDRA_STATUS_SCRATCH_TOO_SMALL;
            body(scratch, scratchBytes);
            return VIDRA_STATUS_OK;
        }
        // Freed however body ends.
        const std::unique_ptr<void, void (*)(void*)> own(std::malloc(bytes), std::free);
        if (own == nullptr) return VIDRA_STATUS_NO_MEMORY;
        body(own.get(), bytes);
        return VIDRA_STATUS_OK;
    } catch (...) {
        return VIDRA_STATUS_NO_MEMORY;
    }
}

}  // namespace

extern "C" VIDRA_API int32_t VidraCompositeScratchSize(int32_t width, int32_t height,
                                                       const VidraCompositeOptions* options,
                                                       size_t* bytes) {
    if (options == nullptr || bytes == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    return AnswerScratchSize(CheckCompositeOptions(*options), width, height, bytes,
                             [&](size_t* n) { return CompositeScratchBytes(width, height, *options, n); });
}

extern "C" VIDRA_API int32_t VidraComposite(const VidraImage* frame, const VidraMask* mask,
                                            const VidraCompositeOptions* options, VidraImage* output,
                                            void* scratch, size_t scratchBytes) {
    return RunWithScratch(
        scratch, scratchBytes, [&] { return CheckCompositeArguments(frame, mask, options, output); },
        [&](size_t* n) { return CompositeScratchBytes(frame->width, frame->height, *options, n); },
        [&](void* s, size_t n) { CompositeChecked(*frame, *mask, *options, *output, s, n, ActiveRowKernels(), ActiveYuvKernels());
        });
}

extern "C" VIDRA_API int32_t VidraRefineScratchSize(int32_t width, int32_t height,
                                                    const VidraRefineOptions* options, size_t* bytes) {
    if (bytes == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    return AnswerScratchSize(CheckRefineOptions(options), width, height, bytes,
                             [&](size_t* n) { return RefineScratchBytes(width, height, PlanRefine(width, height, options), n); });
}

extern "C" VIDRA_API int32_t VidraRefineMask(const VidraImage* frame, const VidraMask* mask,
                                             const VidraRefineOptions* options, VidraMask* output,
                                             void* scratch, size_t scratchBytes) {
    RefinePlan plan{};  // set once the arguments have passed
    return RunWithScratch(
        scratch, scratchBytes, [&] { return CheckRefineArguments(frame, mask, options, output); },
        [&](size_t* n) {
            plan = PlanRefine(frame->width, frame->height, options);
            return RefineScratchBytes(frame->width, frame->height, plan, n);
        },
        [&](void* s, size_t n) { RefineChecked(*frame, *mask, plan, *output, s, n, ActiveRowKernels()); });
}
