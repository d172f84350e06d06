// Argument checks of image and mask descriptors, shared by every function
// that takes them. Each answers VIDRA_STATUS_OK or the status of the first
// fault found.
#ifndef VIDRA_IMAGE_IMAGE_CHECKS_H
#define VIDRA_IMAGE_IMAGE_CHECKS_H

#include <cstdint>

#include "image/rows.h"
#include "vidra.h"

namespace vidra {
namespace image {

// image as an image of width x height of any known format, in this order:
// BAD_DIMENSIONS (a side not positive or not the one asked for),
// UNSUPPORTED_FORMAT, NULL_ARGUMENT (a plane the format uses), BAD_STRIDE
// (|stride| below the plane's row bytes).
int32_t CheckImage(const VidraImage& image, int32_t width, int32_t height);

// CheckImage at the image's own size; on VIDRA_STATUS_OK fills view.
int32_t ViewImage(const VidraImage& image, ImageView* view);

// NULL_ARGUMENT (data), BAD_DIMENSIONS (not width x height), BAD_STRIDE.
int32_t CheckMask(const VidraMask& mask, int32_t width, int32_t height);

}  // namespace image
}  // namespace vidra

#endif
