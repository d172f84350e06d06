// Public image and mask descriptors checked and turned into the instance's
// own view of them.
#ifndef VIDRA_INSTANCES_IMAGE_ADAPTER_H
#define VIDRA_INSTANCES_IMAGE_ADAPTER_H

#include <cstdint>

#include "instances/frame_view.h"
#include "vidra.h"

namespace instances {

// VIDRA_STATUS_OK with view filled, or NULL_ARGUMENT (a plane the format
// uses), BAD_DIMENSIONS, UNSUPPORTED_FORMAT or BAD_STRIDE.
int32_t AdaptImage(const VidraImage& image, FrameView& view);

// VIDRA_STATUS_OK when mask can receive a width x height mask, else
// NULL_ARGUMENT, BAD_DIMENSIONS or BAD_STRIDE.
int32_t CheckMask(const VidraMask& mask, int32_t width, int32_t height);

}  // namespace instances

#endif
