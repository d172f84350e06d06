// The pixel formats of VidraImage in one table: planes, bytes per sample,
// channel order of the packed formats and chroma subsampling of the YUV
// ones. No inline code, so that files compiled for other instruction sets
// may include it.
#ifndef VIDRA_IMAGE_PIXEL_FORMAT_H
#define VIDRA_IMAGE_PIXEL_FORMAT_H

#include <cstdint>

namespace vidra {
namespace image {

constexpr int32_t kMaxPlanes = 3;

// A packed pixel: bytes per pixel (3 or 4) and the byte offsets of red, green
// and blue; a fourth byte is alpha or padding.
struct ChannelOrder {
    int32_t bpp;
    int32_t red;
    int32_t green;
    int32_t blue;
};

struct FormatInfo {
    int32_t code;                     // the VidraPixelFormat
    int32_t planes;                   // 1 packed, 2 NV12 (Y, UV), 3 I420 (Y, U, V)
    bool yuv;                         // 8-bit YUV, BT.601 limited range
    ChannelOrder order;               // packed formats; zero for YUV
    int32_t sampleBytes[kMaxPlanes];  // bytes per sample position of each plane
    int32_t chromaShiftX;             // planes after the first: width >> shift, rounded up
    int32_t chromaShiftY;             // and height likewise
};

// The entry of a VidraPixelFormat code, null for an unknown code.
const FormatInfo* FindFormat(int32_t code);

// Samples per row and rows of a plane of an image of width x height.
int32_t PlaneWidth(const FormatInfo& format, int32_t plane, int32_t width);
int32_t PlaneHeight(const FormatInfo& format, int32_t plane, int32_t height);
// Bytes a row of the plane holds (what |stride| must at least be).
int64_t PlaneRowBytes(const FormatInfo& format, int32_t plane, int32_t width);

}  // namespace image
}  // namespace vidra

#endif
