// Frames, layouts and instance helpers shared by the instance tests.
#ifndef VIDRA_TESTS_INSTANCES_SUPPORT_H
#define VIDRA_TESTS_INSTANCES_SUPPORT_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "exports/host_test_support.h"
#include "instances/yuv_bt601.h"
#include "vidra.h"

namespace support {

// Pixel (x, y) of an RgbImage, const or not.
template <class Image>
auto* Px(Image& image, int x, int y) { return &image.rgb[(size_t(y) * image.width + x) * 3]; }

// The photo moved right by dx pixels and brightened: enough change to run the network.
inline RgbImage Variant(const RgbImage& photo, int dx, int brighten) {
    RgbImage out = photo;
    for (int y = 0; y < photo.height; ++y)
        for (int x = 0; x < photo.width; ++x)
            for (int c = 0; c < 3; ++c)
                Px(out, x, y)[c] = uint8_t(std::min(Px(photo, std::max(x - dx, 0), y)[c] + brighten, 255));
    return out;
}

struct OwnedImage { std::vector<uint8_t> bytes; VidraImage image{}; };  // image points into bytes

// The photo in a packed layout, rows padded with 0xA5, bottom-up when asked.
inline OwnedImage Packed(const RgbImage& photo, int32_t format, int32_t padding, bool bottomUp) {
    const bool bgr = format == VIDRA_PIXEL_BGR24 || format == VIDRA_PIXEL_BGRA32;
    const int32_t bpp = format == VIDRA_PIXEL_RGBA32 || format == VIDRA_PIXEL_BGRA32 ? 4 : 3;
    const int32_t stride = photo.width * bpp + padding;
    OwnedImage out{std::vector<uint8_t>(size_t(stride) * photo.height, 0xA5)};
    for (int y = 0; y < photo.height; ++y) {
        uint8_t* dst = out.bytes.data() + size_t(bottomUp ? photo.height - 1 - y : y) * stride;
        for (int x = 0; x < photo.width; ++x) {
            for (int c = 0; c < 3; ++c) dst[x * bpp + c] = Px(photo, x, y)[bgr ? 2 - c : c];
            if (bpp == 4) dst[x * bpp + 3] = uint8_t(x * 7 + y);  // never read
        }
    }
    uint8_t* top = out.bytes.data() + (bottomUp ? size_t(photo.height - 1) * stride : 0);
    out.image = {photo.width, photo.height, format, 0, {top}, {bottomUp ? -stride : stride}};
    return out;
}

// NV12 or I420 by BT.601, chroma from each 2 x 2 block's mean; rows padded by 16.
inline OwnedImage Yuv(const RgbImage& photo, int32_t format) {
    const bool nv12 = format == VIDRA_PIXEL_NV12;
    const int w = photo.width, h = photo.height, cw = (w + 1) / 2, ch = (h + 1) / 2, step = nv12 ? 2 : 1;
    const int32_t s[3] = {w + 16, cw * step + 16, nv12 ? 0 : cw + 16};
    OwnedImage out{std::vector<uint8_t>(size_t(s[0]) * h + size_t(s[1] + s[2]) * ch, 0x5A)};
    uint8_t* luma = out.bytes.data();
    uint8_t* u = luma + size_t(s[0]) * h;
    uint8_t* v = nv12 ? u + 1 : u + size_t(s[1]) * ch;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = Px(photo, x, y);
            luma[y * s[0] + x] = uint8_t(((66 * p[0] + 129 * p[1] + 25 * p[2] + 128) >> 8) + 16);
        }
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
            int m[3] = {0, 0, 0}, n = 0;
            for (int sy = 2 * y; sy < std::min(2 * y + 2, h); ++sy)
                for (int sx = 2 * x; sx < std::min(2 * x + 2, w); ++sx, ++n)
                    for (int c = 0; c < 3; ++c) m[c] += Px(photo, sx, sy)[c];
            for (int& c : m) c = (c + n / 2) / n;
            u[y * s[1] + x * step] = uint8_t(((-38 * m[0] - 74 * m[1] + 112 * m[2] + 128) >> 8) + 128);
            v[y * s[nv12 ? 1 : 2] + x * step] = uint8_t(((112 * m[0] - 94 * m[1] - 18 * m[2] + 128) >> 8) + 128);
        }
    out.image = {w, h, format, 0, {luma, u, nv12 ? nullptr : v}, {s[0], s[1], s[2]}};
    return out;
}

// The RGB frame a YUV image stands for, by the library's own conversion.
inline RgbImage RgbOfYuv(const OwnedImage& yuv) {
    const VidraImage& im = yuv.image;
    const bool nv12 = im.format == VIDRA_PIXEL_NV12;
    RgbImage out{im.width, im.height, std::vector<uint8_t>(size_t(im.width) * im.height * 3)};
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            const uint8_t* u = im.planes[1] + (y / 2) * im.strides[1] + (x / 2) * (nv12 ? 2 : 1);
            const uint8_t v = nv12 ? u[1] : im.planes[2][(y / 2) * im.strides[2] + x / 2];
            instances::YuvToRgbBt601(im.planes[0][y * im.strides[0] + x], *u, v, Px(out, x, y));
        }
    return out;
}

// Default options for width x height frames; modelPath must outlive them.
inline VidraSegmenterOptions OptionsFor(int32_t width, int32_t height, const char* modelPath = kModelDir.c_str()) {
    VidraSegmenterOptions options;
    VidraSegmenterOptionsInit(&options);
    options.width = width, options.height = height, options.modelPath = modelPath;
    return options;
}

inline VidraSegmenter* NewInstance(int32_t width, int32_t height) {
    const VidraSegmenterOptions options = OptionsFor(width, height);
    VidraSegmenter* segmenter = nullptr;
    EXPECT_EQ(VidraSegmenterCreate(&options, &segmenter), VIDRA_STATUS_OK);
    return segmenter;
}

inline std::vector<uint8_t> Segment(VidraSegmenter* segmenter, const VidraImage& frame) {
    std::vector<uint8_t> mask(size_t(frame.width) * frame.height, 0xEE);
    const VidraMask out{frame.width, frame.height, frame.width, 0, mask.data()};
    EXPECT_EQ(VidraSegmenterProcess(segmenter, &frame, &out), VIDRA_STATUS_OK);
    return mask;
}

inline std::vector<uint8_t> Segment(VidraSegmenter* segmenter, const RgbImage& photo) {
    return Segment(segmenter, Packed(photo, VIDRA_PIXEL_RGB24, 0, false).image);
}

}  // namespace support

#endif
