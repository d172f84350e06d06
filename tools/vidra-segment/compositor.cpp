#include "compositor.h"

#include "vidra_core.h"

#include <algorithm>

namespace vseg {
namespace {

VidraImage Packed(const uint8_t* data, int width, int height, int32_t format) {
    VidraImage image{};
    image.width = width;
    image.height = height;
    image.format = format;
    image.planes[0] = const_cast<uint8_t*>(data);  // read only, as the header says
    image.strides[0] = width * (format == VIDRA_PIXEL_RGB24 || format == VIDRA_PIXEL_BGR24 ? 3 : 4);
    return image;
}

VidraMask Mask(const uint8_t* data, int width, int height) {
    VidraMask mask{};
    mask.width = width;
    mask.height = height;
    mask.stride = width;
    mask.data = const_cast<uint8_t*>(data);
    return mask;
}

VidraCompositeOptions CompositeOptions(BackgroundMode mode, int strength, const uint8_t color[3], const VidraImage* image) {
    VidraCompositeOptions o{};
    o.structSize = sizeof o;
    switch (mode) {
    case BackgroundMode::Blur: o.background = VIDRA_BACKGROUND_BLUR; break;
    case BackgroundMode::Color: o.background = VIDRA_BACKGROUND_COLOR; break;
    case BackgroundMode::Image: o.background = VIDRA_BACKGROUND_IMAGE; break;
    case BackgroundMode::Remove: o.background = VIDRA_BACKGROUND_TRANSPARENT; break;
    }
    o.blurStrength = strength;
    for (int c = 0; c < 3; ++c) o.color[c] = color[c];
    o.image = image;
    return o;
}

}  // namespace

int DefaultBlurStrength(int width, int height) { return std::max(2, std::min(width, height) / 40); }

std::string Compositor::Init(BackgroundMode mode, int width, int height, int frameBytesPerPixel, int blurStrength,
                             const uint8_t color[3], bool refine) {
    mode_ = mode;
    width_ = width;
    height_ = height;
    step_ = frameBytesPerPixel;
    strength_ = blurStrength;
    std::copy(color, color + 3, color_);
    // Scratch memory once, instead of an allocation per frame.
    VidraCompositeOptions o = CompositeOptions(mode, strength_, color_, nullptr);
    size_t bytes = 0;
    int32_t status = VidraCompositeScratchSize(width, height, &o, &bytes);
    if (status != VIDRA_STATUS_OK) return "the library refuses this background (status " + std::to_string(status) + ")";
    compositeScratch_.assign(bytes, 0);
    if (refine) {
        status = VidraRefineScratchSize(width, height, nullptr, &bytes);
        if (status != VIDRA_STATUS_OK) return "the library refuses to refine this size (status " + std::to_string(status) + ")";
        refineScratch_.assign(bytes, 0);
    }
    return "";
}

bool Compositor::RefineMask(const uint8_t* frame, uint8_t* mask) {
    VidraImage f = Packed(frame, width_, height_, step_ == 4 ? VIDRA_PIXEL_RGBA32 : VIDRA_PIXEL_RGB24);
    VidraMask m = Mask(mask, width_, height_);
    return VidraRefineMask(&f, &m, nullptr, &m, refineScratch_.data(), refineScratch_.size()) == VIDRA_STATUS_OK;
}

bool Compositor::Compose(const uint8_t* frame, const uint8_t* mask, const uint8_t* background, uint8_t* out) {
    VidraImage f = Packed(frame, width_, height_, step_ == 4 ? VIDRA_PIXEL_RGBA32 : VIDRA_PIXEL_RGB24);
    VidraImage bg = Packed(background, width_, height_, VIDRA_PIXEL_RGB24);
    VidraMask m = Mask(mask, width_, height_);
    VidraImage o = Packed(out, width_, height_, mode_ == BackgroundMode::Remove ? VIDRA_PIXEL_RGBA32 : VIDRA_PIXEL_BGR24);
    VidraCompositeOptions options = CompositeOptions(mode_, strength_, color_, mode_ == BackgroundMode::Image ? &bg : nullptr);
    return VidraComposite(&f, &m, &options, &o, compositeScratch_.data(), compositeScratch_.size()) ==
           VIDRA_STATUS_OK;
}

}  // namespace vseg
