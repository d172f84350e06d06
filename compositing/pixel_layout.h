// Byte layout of the packed pixel formats and the argument checks shared by
// the compositing functions.
#ifndef VIDRA_COMPOSITING_PIXEL_LAYOUT_H
#define VIDRA_COMPOSITING_PIXEL_LAYOUT_H

#include <cstddef>
#include <cstdint>

#include "vidra.h"

namespace vidra {
namespace compositing {

// Bytes per pixel and the byte offsets of red, green and blue.
struct PackedLayout {
    int32_t bpp;
    int32_t red;
    int32_t green;
    int32_t blue;
};

// False for NV12, I420 and unknown codes.
bool GetPackedLayout(int32_t format, PackedLayout* layout);

inline const uint8_t* RowOf(const VidraImage& image, int32_t y) {
    return image.planes[0] + static_cast<std::ptrdiff_t>(y) * image.strides[0];
}
inline uint8_t* RowOf(VidraImage& image, int32_t y) {
    return image.planes[0] + static_cast<std::ptrdiff_t>(y) * image.strides[0];
}
inline const uint8_t* RowOf(const VidraMask& mask, int32_t y) {
    return mask.data + static_cast<std::ptrdiff_t>(y) * mask.stride;
}
inline uint8_t* RowOf(VidraMask& mask, int32_t y) {
    return mask.data + static_cast<std::ptrdiff_t>(y) * mask.stride;
}

// A packed image of width x height: VIDRA_STATUS_OK or the status naming the
// first fault (null plane, dimensions, format, stride).
int32_t CheckPackedImage(const VidraImage& image, int32_t width, int32_t height);
int32_t CheckMask(const VidraMask& mask, int32_t width, int32_t height);

// The bytes a buffer of rows spans: [begin, end) as addresses.
struct ByteSpan {
    uintptr_t begin;
    uintptr_t end;
};
ByteSpan SpanOf(const uint8_t* first, int32_t stride, int32_t height, int32_t rowBytes);
bool Overlaps(const ByteSpan& a, const ByteSpan& b);

}  // namespace compositing
}  // namespace vidra

#endif
