// 8-bit YUV to RGB, BT.601 limited range (Y 16..235, U/V 16..240), in the
// usual integer form with 8 fractional bits:
//   C = Y - 16, D = U - 128, E = V - 128
//   R = (298 C + 409 E + 128) >> 8
//   G = (298 C - 100 D - 208 E + 128) >> 8
//   B = (298 C + 516 D + 128) >> 8, each clamped to 0..255.
#ifndef VIDRA_INSTANCES_YUV_BT601_H
#define VIDRA_INSTANCES_YUV_BT601_H

#include <cstdint>

namespace instances {

// Writes R, G, B to rgb[0..2].
void YuvToRgbBt601(uint8_t y, uint8_t u, uint8_t v, uint8_t* rgb);

}  // namespace instances

#endif
