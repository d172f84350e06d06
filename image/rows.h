// Row access to the planes of images and masks: row y of a plane starts at
// its pointer plus y times its signed stride (negative for bottom-up).
#ifndef VIDRA_IMAGE_ROWS_H
#define VIDRA_IMAGE_ROWS_H

#include <cstddef>
#include <cstdint>

#include "image/pixel_format.h"
#include "vidra.h"

namespace vidra {
namespace image {

// An image whose descriptor has passed CheckImage: its format entry, and
// the planes that format uses (the others null).
struct ImageView {
    int32_t width = 0;
    int32_t height = 0;
    const FormatInfo* format = nullptr;
    const uint8_t* planes[kMaxPlanes] = {nullptr, nullptr, nullptr};
    std::ptrdiff_t strides[kMaxPlanes] = {0, 0, 0};
};

inline const uint8_t* RowOf(const ImageView& image, int32_t plane, int32_t y) {
    return image.planes[plane] + static_cast<std::ptrdiff_t>(y) * image.strides[plane];
}
inline uint8_t* RowOf(const VidraImage& image, int32_t plane, int32_t y) {
    return image.planes[plane] + static_cast<std::ptrdiff_t>(y) * image.strides[plane];
}
inline uint8_t* RowOf(const VidraMask& mask, int32_t y) {
    return mask.data + static_cast<std::ptrdiff_t>(y) * mask.stride;
}

}  // namespace image
}  // namespace vidra

#endif
