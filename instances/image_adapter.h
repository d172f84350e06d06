// Public image descriptors checked and turned into the instance's own view
// of them.
#ifndef VIDRA_INSTANCES_IMAGE_ADAPTER_H
#define VIDRA_INSTANCES_IMAGE_ADAPTER_H

#include <cstdint>

#include "instances/frame_view.h"
#include "vidra.h"

namespace instances {

// VIDRA_STATUS_OK with view filled, or NULL_ARGUMENT (a plane the format
// uses), BAD_DIMENSIONS, UNSUPPORTED_FORMAT or BAD_STRIDE.
int32_t AdaptImage(const VidraImage& image, FrameView& view);

}  // namespace instances

#endif
