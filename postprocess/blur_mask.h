// Edge blur of a float mask: each interior pixel is averaged with those of its
// eight neighbours that are strictly lower.
#ifndef VIDRA_POSTPROCESS_BLUR_MASK_H
#define VIDRA_POSTPROCESS_BLUR_MASK_H

#include <cstdint>

// source and destination: width x height floats, distinct planes.
void BlurMask(const float* source, float* destination, int32_t width, int32_t height);

#endif
