// The logistic activation 1 / (exp(-v) + 1) over a float array, in place.
// One exponential algorithm, written with scalar and vector arithmetic
// (mask_kernels.h), gives bit-identical results on every target and
// processor (the C runtime's expf differs between glibc and Windows).
#ifndef VIDRA_POSTPROCESS_LOGISTIC_H
#define VIDRA_POSTPROCESS_LOGISTIC_H

#include <cstddef>

namespace vidra {
namespace postprocess {

// In place through the active mask-kernel table; a null array is ignored.
void LogisticInPlace(float* values, std::size_t count);

}  // namespace postprocess
}  // namespace vidra

#endif
