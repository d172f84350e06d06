#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "resampling/resize_kernels.h"
#include "resampling/rgb_process.h"
#include "resize_reference.h"

namespace {

constexpr uint8_t kCanary = 0xA5;

std::vector<uint8_t> TwoRows(std::vector<uint8_t> row) {
    std::vector<uint8_t> img(row);
    img.insert(img.end(), row.begin(), row.end());
    return img;
}

std::vector<uint8_t> Channel(const std::vector<uint8_t>& src, ResizeGeometry g, int step = 1) {
    rgbproc::RGBPROCESS p;
    std::vector<uint8_t> dst(static_cast<size_t>(g.dstWidth) * g.dstHeight * step, kCanary);
    p.ResizeUcharChannel(src.data(), dst.data(), &g, step);
    return dst;
}

std::vector<uint8_t> Mask(const std::vector<uint8_t>& src, ResizeGeometry g) {
    rgbproc::RGBPROCESS p;
    std::vector<uint8_t> dst(static_cast<size_t>(g.dstWidth) * g.dstHeight, kCanary);
    p.ResizeUcharMask(src.data(), dst.data(), &g);
    return dst;
}

}  // namespace

TEST(ResizeUcharChannel, WorkedExamples) {
    // Positions 0.5, 2.5, 4.5 and 6.5 of 0,253,...,9: halves round up.
    const auto sevenWide = TwoRows({0, 253, 0, 253, 0, 253, 9});
    EXPECT_EQ(Channel(sevenWide, {7, 2, 4, 2}), TwoRows({127, 127, 127, 9}));
    // The enlarged row never reaches the last source value.
    EXPECT_EQ(Channel(TwoRows({0, 255}), {2, 2, 4, 2}), TwoRows({0, 0, 85, 170}));

    std::mt19937 rng(7);
    const auto src = ref::RandomBytes(rng, 4 * 3);
    const auto half = Channel(src, {4, 3, 2, 3});
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(half[y * 2 + 0], src[y * 4 + 1]);
        EXPECT_EQ(half[y * 2 + 1], src[y * 4 + 3]);
    }

    // Equal sizes return the source, also with a pixel step.
    const auto frame = ref::RandomBytes(rng, 9 * 5 * 3);
    auto same = std::vector<uint8_t>(frame.size(), kCanary);
    rgbproc::RGBPROCESS p;
    const ResizeGeometry eq{9, 5, 9, 5};
    for (int c = 0; c < 3; ++c) p.ResizeUcharChannel(frame.data() + c, same.data() + c, &eq, 3);
    EXPECT_EQ(same, frame);

    // A null plane: nothing written.
    std::vector<uint8_t> untouched(8, kCanary);
    const ResizeGeometry g{2, 2, 4, 2};
    p.ResizeUcharChannel(nullptr, untouched.data(), &g, 1);
    p.ResizeUcharChannel(src.data(), nullptr, &g, 1);
    EXPECT_EQ(untouched, std::vector<uint8_t>(8, kCanary));
}

TEST(ResizeUcharChannel, FourByteFrameToNetworkSize) {
    // 640 x 480, four bytes per pixel, each channel constant down a column.
    const int w = 640, h = 480;
    std::vector<uint8_t> frame(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) frame[(y * w + x) * 4 + c] = static_cast<uint8_t>(x * (c + 3) + 11 * c);
    std::vector<uint8_t> out(288 * 160 * 4, kCanary);
    rgbproc::RGBPROCESS p;
    const ResizeGeometry g{w, h, 288, 160};
    for (int c = 0; c < 3; ++c) p.ResizeUcharChannel(frame.data() + c, out.data() + c, &g, 4);
    for (int y = 0; y < 160; ++y) {
        for (int c = 0; c < 3; ++c) {
            const auto col = [&](int x) { return static_cast<int>(frame[x * 4 + c]); };
            // Column 0 samples position 0.613, the last column is column 639.
            EXPECT_NEAR(out[(y * 288) * 4 + c], 0.387 * col(0) + 0.613 * col(1), 1.0);
            EXPECT_EQ(out[(y * 288 + 287) * 4 + c], col(639));
        }
        for (int x = 0; x < 288; ++x) ASSERT_EQ(out[(y * 288 + x) * 4 + 3], kCanary);
    }
}

TEST(ResizeUcharMask, WorkedExamplesCopyAndNull) {
    // Ties go to even, unlike the channel routine.
    EXPECT_EQ(Mask(TwoRows({0, 253, 0, 253, 0, 253, 9}), {7, 2, 4, 2}), TwoRows({126, 126, 126, 9}));
    EXPECT_EQ(Mask(TwoRows({0, 255}), {2, 2, 4, 2}), TwoRows({0, 0, 85, 170}));

    std::mt19937 rng(3);
    const auto src = ref::RandomBytes(rng, 13 * 7);
    std::vector<uint8_t> dst(src.size(), kCanary);
    rgbproc::RGBPROCESS p;
    const ResizeGeometry eq{13, 7, 13, 7};
    testing::internal::CaptureStdout();
    p.ResizeUcharMask(src.data(), dst.data(), &eq);
    p.ResizeUcharMask(src.data(), dst.data(), &eq);
    const ResizeGeometry up{13, 7, 26, 14};
    p.ResizeUcharMask(nullptr, dst.data(), &eq);
    p.ResizeUcharMask(src.data(), nullptr, &up);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ResizeUcharMask copy succeededResizeUcharMask copy succeeded");
    EXPECT_EQ(dst, src);
}

// Extreme downscales give border weights in the tens of thousands; rounding
// can then carry a white pixel to 256, which must stay 255, not wrap to 0.
TEST(ResizeUchar, ExtremeDownscaleStaysInRange) {
    const ResizeGeometry g{65823, 2, 2, 2};
    const std::vector<uint8_t> white(65823 * 2, 255);
    EXPECT_EQ(Channel(white, g), std::vector<uint8_t>(4, 255));
    EXPECT_EQ(Mask(white, g), std::vector<uint8_t>(4, 255));
}

// Both routines against the test's per-pixel formulas and the library's
// scalar kernels, over thousands of geometries: up and down, widths that are
// not multiples of four, sources one pixel wide or high, pixel steps 1 to 4.
// A canary after each plane catches writes past it.
TEST(ResizeUchar, MatchesScalarKernelsAndReference) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> small(1, 24);
    std::uniform_int_distribution<int> medium(2, 300);
    std::uniform_int_distribution<int> stepDist(1, 4);
    rgbproc::RGBPROCESS p;
    for (int iter = 0; iter < 3000; ++iter) {
        const bool big = iter % 20 == 0;
        ResizeGeometry g{small(rng), small(rng), small(rng) + 1, small(rng) + 1};
        if (big) g = {medium(rng), medium(rng), medium(rng), medium(rng)};
        const int step = stepDist(rng);
        const int channel = std::uniform_int_distribution<int>(0, step - 1)(rng);
        const size_t dstPlane = static_cast<size_t>(g.dstWidth) * g.dstHeight;
        const auto src = ref::RandomBytes(rng, static_cast<size_t>(g.srcWidth) * g.srcHeight * step);
        const std::string where = std::to_string(g.srcWidth) + "x" + std::to_string(g.srcHeight) +
                                  "->" + std::to_string(g.dstWidth) + "x" +
                                  std::to_string(g.dstHeight) + " step " + std::to_string(step);

        // Channel: vector rows, scalar rows, reference.
        std::vector<uint8_t> vec(dstPlane * step + 4, kCanary), expect(vec);
        p.ResizeUcharChannel(src.data() + channel, vec.data() + channel, &g, step);
        ref::Channel(src.data() + channel, g.srcWidth, g.srcHeight, expect.data() + channel,
                     g.dstWidth, g.dstHeight, step);
        ASSERT_EQ(vec, expect) << where;

        std::vector<int32_t> idx(2 * (g.dstWidth + g.dstHeight));
        std::vector<float> wts(idx.size());
        rgbproc::kernels::BuildResizeTablesScalar(idx.data(), wts.data(), &g, step);
        const rgbproc::ResizeTables t{idx.data(), wts.data(), g.dstWidth, g.dstHeight};
        std::vector<uint8_t> sca(vec.size(), kCanary);
        for (int y = 0; y < g.dstHeight; ++y) {
            rgbproc::kernels::ChannelRowScalar(src.data() + channel + t.y0()[y] * g.srcWidth,
                                               src.data() + channel + t.y1()[y] * g.srcWidth, t,
                                               y, step, 0, g.dstWidth,
                                               sca.data() + channel + y * g.dstWidth * step);
        }
        ASSERT_EQ(vec, sca) << where;

        // Mask: a single-channel source of the same size.
        if (g.srcWidth == g.dstWidth && g.srcHeight == g.dstHeight) continue;
        const auto plane = ref::RandomBytes(rng, static_cast<size_t>(g.srcWidth) * g.srcHeight);
        std::vector<uint8_t> mvec(dstPlane + 4, kCanary), mexp(mvec), msca(mvec);
        p.ResizeUcharMask(plane.data(), mvec.data(), &g);
        ref::Mask(plane.data(), g.srcWidth, g.srcHeight, mexp.data(), g.dstWidth, g.dstHeight);
        ASSERT_EQ(mvec, mexp) << where;
        rgbproc::kernels::BuildResizeTablesScalar(idx.data(), wts.data(), &g, 1);
        rgbproc::kernels::ResizeMaskScalar(t, plane.data(), msca.data(), g.srcWidth);
        ASSERT_EQ(mvec, msca) << where;

        // InterpolateFour itself against its scalar form on every whole group.
        for (int y = 0; y < g.dstHeight; ++y) {
            const int r0 = t.y0()[y] * g.srcWidth, r1 = t.y1()[y] * g.srcWidth;
            for (int x = 0; x + 4 <= g.dstWidth; x += 4) {
                ASSERT_EQ(p.InterpolateFour(t, plane.data(), x, y, r0, r1),
                          rgbproc::kernels::InterpolateFourScalar(t, plane.data(), x, y, r0, r1));
            }
        }
    }
}

// Destination sizes of 1 sample the first source position; sizes below 1
// write nothing.
TEST(ResizeUchar, DegenerateSizes) {
    std::mt19937 rng(5);
    const auto src = ref::RandomBytes(rng, 6 * 4);
    EXPECT_EQ(Channel(src, {6, 4, 1, 1}), std::vector<uint8_t>{src[0]});
    EXPECT_EQ(Mask(src, {6, 4, 1, 1}), std::vector<uint8_t>{src[0]});
    std::vector<uint8_t> dst(8, kCanary);
    rgbproc::RGBPROCESS p;
    const ResizeGeometry empty{6, 4, 0, 3};
    p.ResizeUcharChannel(src.data(), dst.data(), &empty, 1);
    p.ResizeUcharMask(src.data(), dst.data(), &empty);
    EXPECT_EQ(dst, std::vector<uint8_t>(8, kCanary));
}
