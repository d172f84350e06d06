// Edge blur of a float mask: each interior pixel is averaged with those of its
// eight neighbours that are strictly lower.
#ifndef VIDRA_POSTPROCESS_BLUR_MASK_H
#define VIDRA_POSTPROCESS_BLUR_MASK_H

#include <cstdint>

// source and destination: width x height floats, distinct planes. The plane
// is first copied with the bounded copy (a failed copy ends the call); the
// outermost rows and columns keep their values. Eight pixels per step with
// AVX2 where the processor has it, four with SSE2 elsewhere.
void BlurMask(const float* source, float* destination, int32_t width, int32_t height);

// The same with SSE2 arithmetic whatever the processor.
void BlurMaskSse(const float* source, float* destination, int32_t width, int32_t height);

// Scalar reference of BlurMask, one pixel at a time.
void BlurMaskScalar(const float* source, float* destination, int32_t width, int32_t height);

#endif
