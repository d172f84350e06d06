#include "instances/yuv_bt601.h"

namespace instances {

namespace {

uint8_t ClampShift(int32_t value) {
    // value >= 0 before the shift keeps it well defined; negatives clamp to 0.
    if (value < 0) return 0;
    const int32_t shifted = value >> 8;
    return static_cast<uint8_t>(shifted > 255 ? 255 : shifted);
}

}  // namespace

void YuvToRgbBt601(uint8_t y, uint8_t u, uint8_t v, uint8_t* rgb) {
    const int32_t c = 298 * (int32_t{y} - 16) + 128;
    const int32_t d = int32_t{u} - 128;
    const int32_t e = int32_t{v} - 128;
    rgb[0] = ClampShift(c + 409 * e);
    rgb[1] = ClampShift(c - 100 * d - 208 * e);
    rgb[2] = ClampShift(c + 516 * d);
}

}  // namespace instances
