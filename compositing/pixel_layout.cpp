#include "compositing/pixel_layout.h"

namespace vidra {
namespace compositing {

bool GetPackedLayout(int32_t format, PackedLayout* layout) {
    switch (format) {
        case VIDRA_PIXEL_RGB24: *layout = {3, 0, 1, 2}; return true;
        case VIDRA_PIXEL_RGBA32: *layout = {4, 0, 1, 2}; return true;
        case VIDRA_PIXEL_BGR24: *layout = {3, 2, 1, 0}; return true;
        case VIDRA_PIXEL_BGRA32: *layout = {4, 2, 1, 0}; return true;
        default: return false;
    }
}

namespace {
int64_t Magnitude(int32_t v) { return v < 0 ? -static_cast<int64_t>(v) : v; }
}  // namespace

int32_t CheckPackedImage(const VidraImage& image, int32_t width, int32_t height) {
    if (image.planes[0] == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (image.width <= 0 || image.height <= 0 || image.width != width || image.height != height)
        return VIDRA_STATUS_BAD_DIMENSIONS;
    PackedLayout layout;
    if (!GetPackedLayout(image.format, &layout)) return VIDRA_STATUS_UNSUPPORTED_FORMAT;
    if (Magnitude(image.strides[0]) < static_cast<int64_t>(width) * layout.bpp)
        return VIDRA_STATUS_BAD_STRIDE;
    return VIDRA_STATUS_OK;
}

int32_t CheckMask(const VidraMask& mask, int32_t width, int32_t height) {
    if (mask.data == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    if (mask.width != width || mask.height != height) return VIDRA_STATUS_BAD_DIMENSIONS;
    if (Magnitude(mask.stride) < width) return VIDRA_STATUS_BAD_STRIDE;
    return VIDRA_STATUS_OK;
}

ByteSpan SpanOf(const uint8_t* first, int32_t stride, int32_t height, int32_t rowBytes) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(first);
    const intptr_t last = static_cast<intptr_t>(height - 1) * stride;
    return last >= 0 ? ByteSpan{base, base + last + rowBytes} : ByteSpan{base + last, base + rowBytes};
}

bool Overlaps(const ByteSpan& a, const ByteSpan& b) {
    return a.begin < b.end && b.begin < a.end;
}

}  // namespace compositing
}  // namespace vidra
