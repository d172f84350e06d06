#include "postprocess/blur_mask.h"

#include <cstddef>

#include "common/bounded_copy.h"
#include "postprocess/mask_kernels.h"

namespace vidra {
namespace postprocess {

void BlurMask(const float* source, float* destination, int32_t width, int32_t height) {
    const std::size_t bytes =
        (width > 0 && height > 0)
            ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(float)
            : 0;
    if (BoundedCopy(destination, bytes, source, bytes) != kCopyOk) return;
    if (width > 2 && height > 2) ActiveMaskKernels().blurInterior(source, destination, width, height);
}

}  // namespace postprocess
}  // namespace vidra
