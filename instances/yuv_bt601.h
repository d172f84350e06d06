// 8-bit YUV to RGB, BT.601 limited range (Y 16..235, U/V 16..240), in the
// usual integer form with 8 fractional bits:
//   C = Y - 16, D = U - 128, E = V - 128
//   R = (298 C + 409 E + 128) >> 8
//   G = (298 C - 100 D - 208 E + 128) >> 8
//   B = (298 C + 516 D + 128) >> 8, each clamped to 0..255.
// Inline: the input stage converts a few hundred thousand samples per frame.
#ifndef VIDRA_INSTANCES_YUV_BT601_H
#define VIDRA_INSTANCES_YUV_BT601_H

#include <cstdint>

namespace instances {

// value >> 8 clamped to 0..255; negative values give 0.
inline uint8_t ClampShift8(int32_t value) {
    const int32_t shifted = (value < 0 ? 0 : value) >> 8;
    return static_cast<uint8_t>(shifted > 255 ? 255 : shifted);
}

// Writes R, G, B to rgb[0..2].
inline void YuvToRgbBt601(uint8_t y, uint8_t u, uint8_t v, uint8_t* rgb) {
    const int32_t c = 298 * (int32_t{y} - 16) + 128;
    const int32_t d = int32_t{u} - 128;
    const int32_t e = int32_t{v} - 128;
    rgb[0] = ClampShift8(c + 409 * e);
    rgb[1] = ClampShift8(c - 100 * d - 208 * e);
    rgb[2] = ClampShift8(c + 516 * d);
}

}  // namespace instances

#endif
