// Frames, layouts and instance helpers shared by the instance tests.
#ifndef VIDRA_TESTS_INSTANCES_SUPPORT_H
#define VIDRA_TESTS_INSTANCES_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "exports/ppm.h"
#include "instances/yuv_bt601.h"
#include "vidra.h"

namespace support {

#if defined(_WIN32)
const std::string kSeparator = "\\";
#else
const std::string kSeparator = "/";
#endif
const std::string kModelDir = VIDRA_TEST_MODEL_DIR;

inline RgbImage LoadPhoto(const std::string& name) {
    RgbImage image;
    const std::string path = kModelDir + kSeparator + "test" + kSeparator + "frames" + kSeparator + name;
    EXPECT_TRUE(ReadPpm(path, image)) << path << " (made by `make models`)";
    return image;
}

// The photo moved right by dx pixels (edge column repeated) and brightened:
// a sequence of these changes enough to run the network, while a repeated
// frame is skipped.
inline RgbImage Variant(const RgbImage& photo, int dx, int brighten) {
    RgbImage out = photo;
    for (int y = 0; y < photo.height; ++y)
        for (int x = 0; x < photo.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int from = x - dx < 0 ? 0 : x - dx;
                const int v = photo.rgb[(static_cast<size_t>(y) * photo.width + from) * 3 + c] + brighten;
                out.rgb[(static_cast<size_t>(y) * photo.width + x) * 3 + c] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
    return out;
}

// An image in memory: its bytes, and a descriptor pointing into them.
struct OwnedImage {
    std::vector<uint8_t> bytes;
    VidraImage image{};
};

// The photo in one of the packed layouts, rows padded to `stride` bytes
// (negative: the rows are stored bottom-up). Padding bytes hold 0xA5.
inline OwnedImage Packed(const RgbImage& photo, int32_t format, int32_t padding, bool bottomUp) {
    const bool four = format == VIDRA_PIXEL_RGBA32 || format == VIDRA_PIXEL_BGRA32;
    const bool bgr = format == VIDRA_PIXEL_BGR24 || format == VIDRA_PIXEL_BGRA32;
    const int32_t bpp = four ? 4 : 3;
    const int32_t stride = photo.width * bpp + padding;
    OwnedImage out;
    out.bytes.assign(static_cast<size_t>(stride) * photo.height, 0xA5);
    for (int y = 0; y < photo.height; ++y) {
        const int row = bottomUp ? photo.height - 1 - y : y;
        uint8_t* dst = out.bytes.data() + static_cast<size_t>(row) * stride;
        for (int x = 0; x < photo.width; ++x) {
            const uint8_t* px = &photo.rgb[(static_cast<size_t>(y) * photo.width + x) * 3];
            for (int c = 0; c < 3; ++c) dst[x * bpp + c] = px[bgr ? 2 - c : c];
            if (four) dst[x * bpp + 3] = static_cast<uint8_t>(x * 7 + y);  // never read
        }
    }
    out.image.width = photo.width;
    out.image.height = photo.height;
    out.image.format = format;
    out.image.planes[0] = out.bytes.data() + (bottomUp ? static_cast<size_t>(photo.height - 1) * stride : 0);
    out.image.strides[0] = bottomUp ? -stride : stride;
    return out;
}

// BT.601 limited range, integer form, the forward twin of YuvToRgbBt601;
// U and V from the mean colour of each 2 x 2 block.
inline void RgbToYuv(int r, int g, int b, uint8_t* y, uint8_t* u, uint8_t* v) {
    if (y) *y = static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
    if (u) *u = static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
    if (v) *v = static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// NV12 or I420 made from the photo; every plane's rows padded by 16 bytes.
inline OwnedImage Yuv(const RgbImage& photo, int32_t format) {
    const int w = photo.width, h = photo.height, cw = (w + 1) / 2, ch = (h + 1) / 2;
    const int32_t lumaStride = w + 16;
    const int32_t chromaStride = (format == VIDRA_PIXEL_NV12 ? 2 * cw : cw) + 16;
    const size_t lumaBytes = static_cast<size_t>(lumaStride) * h;
    const size_t chromaBytes = static_cast<size_t>(chromaStride) * ch;
    OwnedImage out;
    out.bytes.assign(lumaBytes + 2 * chromaBytes, 0x5A);
    uint8_t* luma = out.bytes.data();
    uint8_t* chroma1 = luma + lumaBytes;
    uint8_t* chroma2 = chroma1 + chromaBytes;
    auto at = [&](int x, int y, int c) {
        return static_cast<int>(photo.rgb[(static_cast<size_t>(y) * w + x) * 3 + c]);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            RgbToYuv(at(x, y, 0), at(x, y, 1), at(x, y, 2), &luma[y * lumaStride + x], nullptr, nullptr);
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
            int sum[3] = {0, 0, 0}, n = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const int sx = 2 * x + dx, sy = 2 * y + dy;
                    if (sx >= w || sy >= h) continue;
                    for (int c = 0; c < 3; ++c) sum[c] += at(sx, sy, c);
                    ++n;
                }
            uint8_t u, v;
            RgbToYuv((sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n, nullptr, &u, &v);
            if (format == VIDRA_PIXEL_NV12) {
                chroma1[y * chromaStride + 2 * x] = u;
                chroma1[y * chromaStride + 2 * x + 1] = v;
            } else {
                chroma1[y * chromaStride + x] = u;
                chroma2[y * chromaStride + x] = v;
            }
        }
    out.image.width = w;
    out.image.height = h;
    out.image.format = format;
    out.image.planes[0] = luma;
    out.image.planes[1] = chroma1;
    out.image.planes[2] = format == VIDRA_PIXEL_I420 ? chroma2 : nullptr;
    out.image.strides[0] = lumaStride;
    out.image.strides[1] = chromaStride;
    out.image.strides[2] = format == VIDRA_PIXEL_I420 ? chromaStride : 0;
    return out;
}

// The RGB frame a YUV image stands for: every pixel converted with the
// library's conversion, its chroma from the sample of its 2 x 2 block.
inline RgbImage RgbOfYuv(const OwnedImage& yuv) {
    const VidraImage& im = yuv.image;
    RgbImage out;
    out.width = im.width;
    out.height = im.height;
    out.rgb.resize(static_cast<size_t>(im.width) * im.height * 3);
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            const uint8_t* c1 = im.planes[1] + (y / 2) * im.strides[1];
            uint8_t u, v;
            if (im.format == VIDRA_PIXEL_NV12) {
                u = c1[(x / 2) * 2];
                v = c1[(x / 2) * 2 + 1];
            } else {
                u = c1[x / 2];
                v = im.planes[2][(y / 2) * im.strides[2] + x / 2];
            }
            instances::YuvToRgbBt601(im.planes[0][y * im.strides[0] + x], u, v,
                                     &out.rgb[(static_cast<size_t>(y) * im.width + x) * 3]);
        }
    return out;
}

struct Options {
    VidraSegmenterOptions options;
    explicit Options(int32_t width, int32_t height, const std::string& path = kModelDir) : path_(path) {
        VidraSegmenterOptionsInit(&options);
        options.width = width;
        options.height = height;
        options.modelPath = path_.c_str();
    }

private:
    std::string path_;
};

// Creates an instance for width x height frames with the default options.
inline VidraSegmenter* NewInstance(int32_t width, int32_t height) {
    Options o(width, height);
    VidraSegmenter* segmenter = nullptr;
    EXPECT_EQ(VidraSegmenterCreate(&o.options, &segmenter), VIDRA_STATUS_OK);
    return segmenter;
}

// Segments one frame into a packed mask; the status must be OK.
inline std::vector<uint8_t> Segment(VidraSegmenter* segmenter, const VidraImage& frame) {
    std::vector<uint8_t> mask(static_cast<size_t>(frame.width) * frame.height, 0xEE);
    VidraMask out{frame.width, frame.height, frame.width, 0, mask.data()};
    EXPECT_EQ(VidraSegmenterProcess(segmenter, &frame, &out), VIDRA_STATUS_OK);
    return mask;
}

inline std::vector<uint8_t> Segment(VidraSegmenter* segmenter, const RgbImage& photo) {
    return Segment(segmenter, Packed(photo, VIDRA_PIXEL_RGB24, 0, false).image);
}

}  // namespace support

#endif
