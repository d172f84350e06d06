// Public image descriptors checked and turned into the instance's view of
// them.
#ifndef VIDRA_INSTANCES_IMAGE_ADAPTER_H
#define VIDRA_INSTANCES_IMAGE_ADAPTER_H

#include <cstdint>

#include "image/image_checks.h"
#include "instances/frame_view.h"
#include "vidra.h"

namespace instances {

// VIDRA_STATUS_OK with view filled, or BAD_DIMENSIONS, UNSUPPORTED_FORMAT,
// NULL_ARGUMENT (a plane the format uses) or BAD_STRIDE.
inline int32_t AdaptImage(const VidraImage& image, FrameView& view) {
    return vidra::image::ViewImage(image, &view);
}

}  // namespace instances

#endif
