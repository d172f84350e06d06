// RGB to 8-bit YUV, BT.601 limited range, in the usual integer form (the
// forward twin of instances/yuv_bt601.h):
//   Y = ((66 R + 129 G + 25 B + 128) >> 8) + 16
//   U = ((-38 R - 74 G + 112 B + 128) >> 8) + 128
//   V = ((112 R - 94 G - 18 B + 128) >> 8) + 128
// computed with the offsets folded in so that nothing shifted is negative.
#ifndef VIDRA_COMPOSITING_YUV_COLOUR_H
#define VIDRA_COMPOSITING_YUV_COLOUR_H

#include <cstdint>

namespace vidra {
namespace compositing {

inline uint8_t LumaOf(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint8_t>((66 * r + 129 * g + 25 * b + 128 + (16 << 8)) >> 8);
}
inline uint8_t BlueDifferenceOf(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint8_t>((112 * b + 128 + (128 << 8) - 38 * r - 74 * g) >> 8);
}
inline uint8_t RedDifferenceOf(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint8_t>((112 * r + 128 + (128 << 8) - 94 * g - 18 * b) >> 8);
}

}  // namespace compositing
}  // namespace vidra

#endif
