#include "image/image_checks.h"

namespace vidra {
namespace image {
namespace {

int64_t Magnitude(int32_t v) { return v < 0 ? -static_cast<int64_t>(v) : v; }

}  // namespace

int32_t CheckImage(const VidraImage& image, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || image.width != width || image.height != height)
        return VIDRA_STATUS_BAD_DIMENSIONS;
    const FormatInfo* format = FindFormat(image.format);
    if (format == nullptr) return VIDRA_STATUS_UNSUPPORTED_FORMAT;
    for (int32_t p = 0; p < format->planes; ++p)
        if (image.planes[p] == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    for (int32_t p = 0; p < format->planes; ++p)
        if (Magnitude(image.strides[p]) < PlaneRowBytes(*format, p, width)) return VIDRA_STATUS_BAD_STRIDE;
    return VIDRA_STATUS_OK;
}

int32_t ViewImage(const VidraImage& image, ImageView* view) {
    const int32_t status = CheckImage(image, image.width, image.height);
    if (status != VIDRA_STATUS_OK) return status;
    *view = ImageView{};
    view->width = image.width;
    view->height = image.height;
    view->format = FindFormat(image.format);
    for (int32_t p = 0; p < view->format->planes; ++p) {
        view->planes[p] = image.planes[p];
        view->strides[p] = image.strides[p];
    }
    return VIDRA_STATUS_OK;
}

int32_t CheckMask(const VidraMask& mask, int32_t width, int32_t height) {
    if (mask.data == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (width <= 0 || height <= 0 || mask.width != width || mask.height != height)
        return VIDRA_STATUS_BAD_DIMENSIONS;
    if (Magnitude(mask.stride) < width) return VIDRA_STATUS_BAD_STRIDE;
    return VIDRA_STATUS_OK;
}

}  // namespace image
}  // namespace vidra
