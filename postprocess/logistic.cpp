#include "postprocess/logistic.h"

#include "postprocess/mask_kernels.h"

namespace vidra {
namespace postprocess {

void LogisticInPlace(float* values, std::size_t count) {
    if (values == nullptr) return;
    ActiveMaskKernels().logistic(values, count);
}

}  // namespace postprocess
}  // namespace vidra
