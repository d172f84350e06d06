#include "image/pixel_format.h"

#include "vidra.h"

namespace vidra {
namespace image {
namespace {

constexpr FormatInfo kFormats[] = {
    {VIDRA_PIXEL_RGB24, 1, false, {3, 0, 1, 2}, {3, 0, 0}, 0, 0},
    {VIDRA_PIXEL_RGBA32, 1, false, {4, 0, 1, 2}, {4, 0, 0}, 0, 0},
    {VIDRA_PIXEL_BGR24, 1, false, {3, 2, 1, 0}, {3, 0, 0}, 0, 0},
    {VIDRA_PIXEL_BGRA32, 1, false, {4, 2, 1, 0}, {4, 0, 0}, 0, 0},
    {VIDRA_PIXEL_NV12, 2, true, {0, 0, 0, 0}, {1, 2, 0}, 1, 1},
    {VIDRA_PIXEL_I420, 3, true, {0, 0, 0, 0}, {1, 1, 1}, 1, 1},
};

int32_t Subsampled(int32_t n, int32_t shift) {
    return static_cast<int32_t>((static_cast<int64_t>(n) + (int64_t{1} << shift) - 1) >> shift);
}

}  // namespace

const FormatInfo* FindFormat(int32_t code) {
    for (const FormatInfo& f : kFormats)
        if (f.code == code) return &f;
    return nullptr;
}

int32_t PlaneWidth(const FormatInfo& f, int32_t plane, int32_t width) {
    return plane == 0 ? width : Subsampled(width, f.chromaShiftX);
}

int32_t PlaneHeight(const FormatInfo& f, int32_t plane, int32_t height) {
    return plane == 0 ? height : Subsampled(height, f.chromaShiftY);
}

int64_t PlaneRowBytes(const FormatInfo& f, int32_t plane, int32_t width) {
    return static_cast<int64_t>(PlaneWidth(f, plane, width)) * f.sampleBytes[plane];
}

}  // namespace image
}  // namespace vidra
