#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "resampling/resize_kernels.h"
#include "resampling/rgb_process.h"
#include "resize_reference.h"

namespace {

constexpr float kCanary = -12345.0f;

std::vector<float> Resize(const std::vector<float>& src, ResizeGeometry g) {
    rgbproc::RGBPROCESS p;
    std::vector<float> dst(static_cast<size_t>(g.dstWidth) * g.dstHeight, kCanary);
    p.ResizeFloat(src.data(), dst.data(), &g);
    return dst;
}

std::vector<float> RandomPlane(std::mt19937& rng, size_t n) {
    std::uniform_real_distribution<float> logit(-8.0f, 8.0f);
    std::vector<float> v(n);
    for (auto& f : v) f = logit(rng);
    return v;
}

}  // namespace

TEST(ResizeFloat, WorkedExamples) {
    const auto two = Resize({0.0f, 1.0f, 0.0f, 1.0f}, {2, 2, 4, 2});
    const float thirds[4] = {0.0f, 1.0f / 3, 2.0f / 3, 1.0f};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_NEAR(two[y * 4 + x], thirds[x], 1e-6f);

    const auto three = Resize({0.0f, 0.5f, 1.0f, 0.0f, 0.5f, 1.0f, 0.0f, 0.5f, 1.0f}, {3, 3, 5, 3});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_NEAR(three[y * 5 + x], 0.25f * x, 1e-6f);
}

TEST(ResizeFloat, EqualSizesCopyAndLogFailures) {
    std::mt19937 rng(2);
    const auto src = RandomPlane(rng, 6 * 5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Resize(src, {6, 5, 6, 5}), src);
    rgbproc::RGBPROCESS p;
    std::vector<float> dst(30, kCanary);
    const ResizeGeometry eq{6, 5, 6, 5};
    p.ResizeFloat(nullptr, dst.data(), &eq);  // the bounded copy zero-fills and reports 22
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ResizeFloat failed, copy failed 22");
    EXPECT_EQ(dst, std::vector<float>(30, 0.0f));
}

// 144 x 80 -> 288 x 160: the last destination row and column sample the last
// source row and column, the corners the corners.
TEST(ResizeFloat, LastRowAndColumnAreTheSourceEdges) {
    std::mt19937 rng(4);
    const auto src = RandomPlane(rng, 144 * 80);
    const auto big = Resize(src, {144, 80, 288, 160});
    EXPECT_NEAR(big[0], src[0], 1e-5f);
    EXPECT_NEAR(big[287], src[143], 1e-5f);
    EXPECT_NEAR(big[159 * 288], src[79 * 144], 1e-5f);
    EXPECT_NEAR(big[159 * 288 + 287], src[79 * 144 + 143], 1e-5f);
    for (int x = 0; x < 288; ++x) {
        const float fx = static_cast<float>(x) * (143.0f / 287.0f);
        const int xi = std::min(static_cast<int>(fx), 142);
        const float ax = fx - xi;
        const float edge = src[79 * 144 + xi] * (1 - ax) + src[79 * 144 + xi + 1] * ax;
        EXPECT_NEAR(big[159 * 288 + x], edge, 1e-5f) << x;
    }
    for (int y = 0; y < 160; ++y) {
        const float fy = static_cast<float>(y) * (79.0f / 159.0f);
        const int yi = std::min(static_cast<int>(fy), 78);
        const float ay = fy - yi;
        const float edge = src[yi * 144 + 143] * (1 - ay) + src[(yi + 1) * 144 + 143] * ay;
        EXPECT_NEAR(big[y * 288 + 287], edge, 1e-5f) << y;
    }
}

// Vector rows against scalar rows and the test's formula, bit for bit, over
// thousands of geometries (widths not multiples of four included).
TEST(ResizeFloat, MatchesScalarKernelAndReference) {
    std::mt19937 rng(21);
    std::uniform_int_distribution<int> small(2, 30);
    std::uniform_int_distribution<int> medium(2, 400);
    for (int iter = 0; iter < 3000; ++iter) {
        ResizeGeometry g{small(rng), small(rng), small(rng), small(rng)};
        if (iter % 20 == 0) g = {medium(rng), medium(rng), medium(rng), medium(rng)};
        if (g.srcWidth == g.dstWidth && g.srcHeight == g.dstHeight) continue;
        const auto src = RandomPlane(rng, static_cast<size_t>(g.srcWidth) * g.srcHeight);
        const size_t n = static_cast<size_t>(g.dstWidth) * g.dstHeight;
        std::vector<float> vec(n + 4, kCanary), sca(vec), expect(vec);
        rgbproc::RGBPROCESS p;
        p.ResizeFloat(src.data(), vec.data(), &g);
        ref::Float(src.data(), g.srcWidth, g.srcHeight, expect.data(), g.dstWidth, g.dstHeight);
        const auto cols = rgbproc::kernels::MakeFloatAxis(g.srcWidth, g.dstWidth);
        const auto rows = rgbproc::kernels::MakeFloatAxis(g.srcHeight, g.dstHeight);
        for (int y = 0; y < g.dstHeight; ++y) {
            rgbproc::kernels::FloatRowScalar(
                rgbproc::kernels::MakeFloatRow(src.data(), g.srcWidth, rows, y), cols, 0,
                g.dstWidth, sca.data() + y * g.dstWidth);
        }
        const std::string where = std::to_string(g.srcWidth) + "x" + std::to_string(g.srcHeight) +
                                  "->" + std::to_string(g.dstWidth) + "x" + std::to_string(g.dstHeight);
        ASSERT_EQ(0, std::memcmp(vec.data(), expect.data(), vec.size() * sizeof(float))) << where;
        ASSERT_EQ(0, std::memcmp(vec.data(), sca.data(), vec.size() * sizeof(float))) << where;
    }
}

// One-pixel axes: a destination of 1 samples the first source position, a
// source of 1 is replicated (no read outside it); sizes below 1 write nothing.
TEST(ResizeFloat, DegenerateSizes) {
    std::mt19937 rng(8);
    const auto src = RandomPlane(rng, 5 * 3);
    EXPECT_EQ(Resize(src, {5, 3, 1, 1}), std::vector<float>{src[0]});
    EXPECT_EQ(Resize({2.5f}, {1, 1, 6, 3}), std::vector<float>(18, 2.5f));

    // A one-wide column: every destination row is constant, rising along y.
    const auto column = Resize({0.0f, 3.0f}, {1, 2, 7, 4});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_NEAR(column[y * 7 + x], y, 1e-6f);

    rgbproc::RGBPROCESS p;
    std::vector<float> dst(4, kCanary);
    const ResizeGeometry empty{5, 3, 0, 2};
    p.ResizeFloat(src.data(), dst.data(), &empty);
    const ResizeGeometry up{5, 3, 2, 2};
    p.ResizeFloat(nullptr, dst.data(), &up);
    EXPECT_EQ(dst, std::vector<float>(4, kCanary));
}
