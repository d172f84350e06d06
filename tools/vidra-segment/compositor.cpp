#include "compositor.h"

#include "composite.h"

namespace vseg {

int DefaultBlurStrength(int width, int height) { return DefaultBlurRadius(width, height); }

std::string Compositor::Init(BackgroundMode mode, int width, int height, int frameBytesPerPixel, int blurStrength,
                             const uint8_t color[3], bool refine) {
    mode_ = mode;
    width_ = width;
    height_ = height;
    step_ = frameBytesPerPixel;
    strength_ = blurStrength;
    for (int c = 0; c < 3; ++c) color_[c] = color[c];
    if (refine) return "--refine needs the library's mask refinement";
    return "";
}

bool Compositor::RefineMask(const uint8_t*, uint8_t*) { return false; }

bool Compositor::Compose(const uint8_t* frame, const uint8_t* mask, const uint8_t* background, uint8_t* out) {
    const size_t pixels = static_cast<size_t>(width_) * height_;
    switch (mode_) {
    case BackgroundMode::Blur:
        BlurBackground(frame, width_, height_, step_, strength_, blurred_, scratch_);
        BlendOver(frame, step_, blurred_.data(), mask, pixels, out);
        break;
    case BackgroundMode::Image:
        BlendOver(frame, step_, background, mask, pixels, out);
        break;
    case BackgroundMode::Color:
        BlendOverColor(frame, step_, color_, mask, pixels, out);
        break;
    case BackgroundMode::Remove:
        AttachAlpha(frame, step_, mask, pixels, out);
        break;
    }
    return true;
}

}  // namespace vseg
