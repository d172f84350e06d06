// Size record taken by every resize routine, all in pixels.
#ifndef VIDRA_RESAMPLING_RESIZE_GEOMETRY_H
#define VIDRA_RESAMPLING_RESIZE_GEOMETRY_H

#include <cstdint>

struct ResizeGeometry {
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t dstWidth;
    int32_t dstHeight;
};

#endif
