// Putting the person over a new background, with the mask as alpha (mask/255).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vseg {

// Blur strength used when none is asked for: about 1/40 of the shorter side.
int DefaultBlurRadius(int width, int height);

// Blurs the first three bytes of each pixel of src (pixel step 3 or 4) into
// dst (RGB, width x height): three passes of a (2 radius + 1) box in each
// direction, close to a Gaussian of sigma ~ radius; edges repeat.
void BlurBackground(const uint8_t* src, int width, int height, int step, int radius,
                    std::vector<uint8_t>& dst, std::vector<uint8_t>& scratch);

// out(RGB) = (fg * m + bg * (255 - m)) / 255, rounded to nearest, per channel;
// fg has pixel step 3 or 4, bg is RGB.
void BlendOver(const uint8_t* fg, int step, const uint8_t* bg, const uint8_t* mask, size_t pixels,
               uint8_t* out);

// The same over one colour.
void BlendOverColor(const uint8_t* fg, int step, const uint8_t color[3], const uint8_t* mask,
                    size_t pixels, uint8_t* out);

// out(RGBA) = fg's colour with the mask as alpha.
void AttachAlpha(const uint8_t* fg, int step, const uint8_t* mask, size_t pixels, uint8_t* out);

}  // namespace vseg
