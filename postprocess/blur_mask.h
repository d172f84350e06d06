// Edge blur of a float mask: each interior pixel is averaged with those of its
// eight neighbours that are strictly lower.
#ifndef VIDRA_POSTPROCESS_BLUR_MASK_H
#define VIDRA_POSTPROCESS_BLUR_MASK_H

#include <cstdint>

namespace vidra {
namespace postprocess {

// source and destination: width x height floats, distinct planes. The plane
// is first copied with the bounded copy (a failed copy ends the call); the
// outermost rows and columns keep their values, the interior goes through
// the active mask-kernel table.
void BlurMask(const float* source, float* destination, int32_t width, int32_t height);

}  // namespace postprocess
}  // namespace vidra

#endif
