// The logistic activation 1 / (exp(-v) + 1) over a float array, in place.
// One exponential algorithm, written with scalar, SSE2 and AVX2 arithmetic,
// gives bit-identical results on every target and processor (the C
// runtime's expf differs between glibc and Windows).
#ifndef VIDRA_POSTPROCESS_LOGISTIC_H
#define VIDRA_POSTPROCESS_LOGISTIC_H

#include <cstddef>

// Single-precision exp, the scalar reference of the vector routine: within
// 1 ulp of exp over every float in [-104, 89] (subnormal results rounded
// once), +inf above about 88.72, 0 below -104 and at -inf, a NaN returned as
// it came.
float ExpScalar(float x);

// In place: eight values per step with AVX2 where the processor has it,
// four with SSE2 elsewhere, the remainder with ExpScalar.
void LogisticInPlace(float* values, std::size_t count);

// The same with SSE2 arithmetic whatever the processor.
void LogisticInPlaceSse(float* values, std::size_t count);

// Scalar reference of LogisticInPlace.
void LogisticInPlaceScalar(float* values, std::size_t count);

#endif
