#include "instances/image_adapter.h"

#include <cstdlib>

namespace instances {

namespace {

bool LayoutOf(int32_t format, PixelLayout& layout) {
    switch (format) {
        case VIDRA_PIXEL_RGB24: layout = PixelLayout::kRgb24; return true;
        case VIDRA_PIXEL_RGBA32: layout = PixelLayout::kRgba32; return true;
        case VIDRA_PIXEL_BGR24: layout = PixelLayout::kBgr24; return true;
        case VIDRA_PIXEL_BGRA32: layout = PixelLayout::kBgra32; return true;
        case VIDRA_PIXEL_NV12: layout = PixelLayout::kNv12; return true;
        case VIDRA_PIXEL_I420: layout = PixelLayout::kI420; return true;
        default: return false;
    }
}

bool StrideFits(int32_t stride, int64_t rowBytes) {
    return std::llabs(static_cast<long long>(stride)) >= rowBytes;
}

}  // namespace

int32_t AdaptImage(const VidraImage& image, FrameView& view) {
    if (image.width <= 0 || image.height <= 0) return VIDRA_STATUS_BAD_DIMENSIONS;
    if (!LayoutOf(image.format, view.layout)) return VIDRA_STATUS_UNSUPPORTED_FORMAT;
    view.width = image.width;
    view.height = image.height;
    const int64_t width = image.width;
    const int64_t chromaWidth = (width + 1) / 2;
    int64_t rowBytes[3] = {0, 0, 0};
    int planes = 1;
    switch (view.layout) {
        case PixelLayout::kNv12:
            planes = 2;
            rowBytes[0] = width;
            rowBytes[1] = 2 * chromaWidth;
            break;
        case PixelLayout::kI420:
            planes = 3;
            rowBytes[0] = width;
            rowBytes[1] = chromaWidth;
            rowBytes[2] = chromaWidth;
            break;
        default:
            rowBytes[0] = width * PackedPixelBytes(view.layout);
            break;
    }
    for (int p = 0; p < 3; ++p) {
        view.planes[p] = p < planes ? image.planes[p] : nullptr;
        view.strides[p] = p < planes ? image.strides[p] : 0;
        if (p >= planes) continue;
        if (image.planes[p] == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
        if (!StrideFits(image.strides[p], rowBytes[p])) return VIDRA_STATUS_BAD_STRIDE;
    }
    return VIDRA_STATUS_OK;
}

}  // namespace instances
