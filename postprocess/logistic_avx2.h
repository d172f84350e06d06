// The AVX2 form of the logistic activation (logistic_avx2.cpp, compiled with
// -mavx2); call it only when vidra::CpuHasAvx2() is true.
#ifndef VIDRA_POSTPROCESS_LOGISTIC_AVX2_H
#define VIDRA_POSTPROCESS_LOGISTIC_AVX2_H

#include <cstddef>

namespace postprocess {
namespace avx2 {

// In place over values [0, returned count), eight per step; the caller
// finishes the rest with LogisticInPlaceScalar. Bits identical to it.
std::size_t Logistic(float* values, std::size_t count);

}  // namespace avx2
}  // namespace postprocess

#endif
