// The frame as the instance reads it: plane pointers and signed row strides,
// whatever the public descriptor looks like. Packed layouts use plane 0.
#ifndef VIDRA_INSTANCES_FRAME_VIEW_H
#define VIDRA_INSTANCES_FRAME_VIEW_H

#include <cstddef>
#include <cstdint>

namespace instances {

enum class PixelLayout { kRgb24, kRgba32, kBgr24, kBgra32, kNv12, kI420 };

struct FrameView {
    int32_t width = 0;
    int32_t height = 0;
    PixelLayout layout = PixelLayout::kRgb24;
    const uint8_t* planes[3] = {nullptr, nullptr, nullptr};
    std::ptrdiff_t strides[3] = {0, 0, 0};
};

// Bytes per pixel of a packed layout; 0 for the planar YUV layouts.
int32_t PackedPixelBytes(PixelLayout layout);

// Start of row `row` of plane `plane`.
inline const uint8_t* RowOf(const FrameView& frame, int plane, int32_t row) {
    return frame.planes[plane] + static_cast<std::ptrdiff_t>(row) * frame.strides[plane];
}

}  // namespace instances

#endif
