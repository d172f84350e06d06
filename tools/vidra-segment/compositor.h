// The composited picture of one frame, with the library's compositing and
// mask refinement: the person over the chosen background.
#pragma once

#include "options.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vseg {

class Compositor {
public:
    // frameBytesPerPixel: 3 (RGB) or 4 (RGBA, the fourth byte unused). The
    // output is BGR, or RGBA with the mask as alpha for Remove. blurStrength:
    // about the blur's standard deviation in pixels. Returns "" or why the
    // library refuses the combination.
    std::string Init(BackgroundMode mode, int width, int height, int frameBytesPerPixel, int blurStrength,
                     const uint8_t color[3], bool refine);
    // Pulls the mask's soft edge onto the frame's edges, in place.
    bool RefineMask(const uint8_t* frame, uint8_t* mask);
    // background: an RGB picture of the frame's size, for BackgroundMode::Image.
    bool Compose(const uint8_t* frame, const uint8_t* mask, const uint8_t* background, uint8_t* out);

private:
    BackgroundMode mode_ = BackgroundMode::Blur;
    int width_ = 0, height_ = 0, step_ = 3, strength_ = 0;
    uint8_t color_[3] = {0, 0, 0};
    std::vector<uint8_t> compositeScratch_, refineScratch_;
};

// Blur strength used when none is asked for: about 1/40 of the shorter side.
int DefaultBlurStrength(int width, int height);

}  // namespace vseg
