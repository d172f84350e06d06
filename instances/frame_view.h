// The frame as the instance reads it: the checked image of the image module
// (format entry, plane pointers, signed strides).
#ifndef VIDRA_INSTANCES_FRAME_VIEW_H
#define VIDRA_INSTANCES_FRAME_VIEW_H

#include "image/rows.h"

namespace instances {

using FrameView = vidra::image::ImageView;
using vidra::image::RowOf;

}  // namespace instances

#endif
