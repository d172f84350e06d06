// The logistic activation 1 / (exp(-v) + 1) over a float array, in place.
// One exponential algorithm, written once with scalar and once with AVX2
// arithmetic, gives bit-identical results on every target (the C runtime's
// expf differs between glibc and Windows).
#ifndef VIDRA_POSTPROCESS_LOGISTIC_H
#define VIDRA_POSTPROCESS_LOGISTIC_H

#include <cstddef>

// Single-precision exp, the scalar reference of the vector routine.
float ExpScalar(float x);

// In place: eight values per step with AVX2, the remainder with ExpScalar.
void LogisticInPlace(float* values, std::size_t count);

// Scalar reference of LogisticInPlace.
void LogisticInPlaceScalar(float* values, std::size_t count);

#endif
