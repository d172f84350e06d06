// The resize routines: worked examples, and the routines against the formulas
// below, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "resampling/rgb_process.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Floats = std::vector<float>;
constexpr uint8_t kCanary = 0xA5;
constexpr float kFloatCanary = -12345.0f;

int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

std::string Where(const ResizeGeometry& g, int step = 1) {
    return testing::PrintToString(std::vector<int>{g.srcWidth, g.srcHeight, g.dstWidth, g.dstHeight, step});
}

bool SameBits(const Floats& a, const Floats& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Noise, black and white, coarse levels, or long flat runs spanning rows (as in a mask).
Bytes RandomBytes(std::mt19937& rng, size_t n, int mode = -1) {
    if (mode < 0) mode = Uniform(rng, 0, 3);
    Bytes v(n);
    for (size_t i = 0; i < n;) {
        const int level = Uniform(rng, 0, 2) == 0 ? Uniform(rng, 0, 255) : Uniform(rng, 0, 1) * 255;
        for (size_t end = std::min(n, i + (mode == 3 ? Uniform(rng, 1, 3000) : 1)); i < end; ++i)
            v[i] = static_cast<uint8_t>(mode == 0 ? Uniform(rng, 0, 255) : mode == 1 ? Uniform(rng, 0, 1) * 255
                                        : mode == 2 ? Uniform(rng, 0, 15) * 16 : level);
    }
    return v;
}

// Pixel centres mapped onto the source, neighbours clamped to it.
struct Sample { int lo, hi; float w0, w1; };
Sample AxisSample(int S, int D, int i) {
    if (D == 1) return {0, 0, 1.0f, 0.0f};
    const float scale = static_cast<float>(S - 1) / static_cast<float>(D - 1);
    const float f = (static_cast<float>(i) + 0.5f) * scale - 0.5f;
    const int lo = std::clamp(static_cast<int>(f), 0, S - 1);
    const int hi = std::clamp(static_cast<int>(f + 1.0f), 0, S - 1);
    return {lo, hi, 1.0f - (f - lo), f - lo};
}

// Byte (y * dstWidth + x) * step of the channel resize (halves up) or of the
// mask resize (step 1, ties to even, its own weight arrangement).
void Reference8(const uint8_t* src, const ResizeGeometry& g, int step, bool mask, uint8_t* dst) {
    for (int y = 0; y < g.dstHeight; ++y) {
        for (int x = 0; x < g.dstWidth; ++x) {
            const Sample ry = AxisSample(g.srcHeight, g.dstHeight, y), rx = AxisSample(g.srcWidth, g.dstWidth, x);
            const auto px = [&](int r, int c) { return static_cast<float>(src[(r * g.srcWidth + c) * step]); };
            const float p00 = px(ry.lo, rx.lo), p10 = px(ry.lo, rx.hi);
            const float p01 = px(ry.hi, rx.lo), p11 = px(ry.hi, rx.hi);
            const float a = ry.w0 * rx.w0, b = rx.w0 - a;
            const float v = mask ? std::nearbyint(((p10 * (ry.w0 - a) + p00 * a) + p01 * b) + p11 * (ry.w1 - b))
                                 : (p00 * rx.w0) * ry.w0 + (p10 * rx.w1) * ry.w0 + (p01 * rx.w0) * ry.w1 +
                                       p11 * (rx.w1 * ry.w1) + 0.5f;
            dst[(y * g.dstWidth + x) * step] = static_cast<uint8_t>(std::clamp(static_cast<int>(v), 0, 255));
        }
    }
}

// Corner-aligned: destination i samples source i * (S - 1) / (D - 1).
void ReferenceFloat(const float* src, const ResizeGeometry& g, float* dst) {
    const auto axis = [](int S, int D, int i, int& lo, int& next) {
        const float f = D > 1 ? static_cast<float>(i) * (static_cast<float>(S - 1) / static_cast<float>(D - 1))
                              : 0.0f;
        lo = std::min(static_cast<int>(f), std::max(S - 2, 0));
        next = S > 1 ? 1 : 0;
        return f - lo;
    };
    for (int y = 0; y < g.dstHeight; ++y) {
        for (int x = 0; x < g.dstWidth; ++x) {
            int yi, ny, xi, nx;
            const float ay = axis(g.srcHeight, g.dstHeight, y, yi, ny);
            const float ax = axis(g.srcWidth, g.dstWidth, x, xi, nx);
            const float* r0 = src + yi * g.srcWidth;
            const float* r1 = r0 + ny * g.srcWidth;
            dst[y * g.dstWidth + x] = (ax * r0[xi + nx]) * (1.0f - ay) + ((1.0f - ax) * r0[xi]) * (1.0f - ay) +
                                      (ay * r1[xi]) * (1.0f - ax) + (ax * ay) * r1[xi + nx];
        }
    }
}

Bytes Resize8(const Bytes& src, ResizeGeometry g, bool mask) {
    rgbproc::RGBPROCESS p;
    Bytes dst(static_cast<size_t>(g.dstWidth) * g.dstHeight, kCanary);
    if (mask) p.ResizeUcharMask(src.data(), dst.data(), &g);
    else p.ResizeUcharChannel(src.data(), dst.data(), &g, 1);
    return dst;
}

Bytes TwoRows(const Bytes& r) { Bytes b(r); b.insert(b.end(), r.begin(), r.end()); return b; }

}  // namespace

TEST(ResizeUchar, WorkedExamples) {
    const struct { ResizeGeometry g; Bytes src, channel, mask; } cases[] = {
        // Positions 0.5, 2.5, 4.5, 6.5: halves round up in the channel, to even in the mask.
        {{7, 2, 4, 2}, TwoRows({0, 253, 0, 253, 0, 253, 9}), TwoRows({127, 127, 127, 9}),
         TwoRows({126, 126, 126, 9})},
        // The enlarged row never reaches the last source value.
        {{2, 2, 4, 2}, TwoRows({0, 255}), TwoRows({0, 0, 85, 170}), TwoRows({0, 0, 85, 170})},
        // Halving the width copies source columns 1 and 3.
        {{4, 3, 2, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {2, 4, 6, 8, 10, 12}, {2, 4, 6, 8, 10, 12}},
        // Border weights in the tens of thousands: white stays 255 instead of wrapping to 0.
        {{65823, 2, 2, 2}, Bytes(65823 * 2, 255), Bytes(4, 255), Bytes(4, 255)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resize8(c.src, c.g, false), c.channel) << Where(c.g);
        EXPECT_EQ(Resize8(c.src, c.g, true), c.mask) << Where(c.g);
    }
}

TEST(ResizeFloat, WorkedExamples) {
    const struct { ResizeGeometry g; Floats src, row; } cases[] = {
        {{2, 2, 4, 2}, {0, 1, 0, 1}, {0, 1.0f / 3, 2.0f / 3, 1}},
        {{3, 3, 5, 3}, {0, 0.5f, 1, 0, 0.5f, 1, 0, 0.5f, 1}, {0, 0.25f, 0.5f, 0.75f, 1}},
    };
    rgbproc::RGBPROCESS p;
    for (const auto& c : cases) {
        Floats out(c.g.dstWidth * c.g.dstHeight, kFloatCanary);
        p.ResizeFloat(c.src.data(), out.data(), &c.g);
        for (size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], c.row[i % c.row.size()], 1e-6f) << Where(c.g);
    }
}

// Equal sizes copy (the channel with a pixel step); only the mask copy and a
// failed float copy are logged. A null plane or an empty size writes nothing.
TEST(Resize, CopiesAndRefusals) {
    std::mt19937 rng(7);
    rgbproc::RGBPROCESS p;
    const ResizeGeometry eq{3, 2, 3, 2}, other{3, 2, 4, 3}, empty{3, 2, 0, 2};
    const Bytes frame = RandomBytes(rng, 3 * 2 * 3);
    const Floats src = {0.5f, -3, 7, 1e-3f, 2, 8};
    Bytes same(frame.size(), kCanary), untouched(12, kCanary);
    Floats fsame(6, kFloatCanary), funtouched(12, kFloatCanary);
    for (int c = 0; c < 3; ++c) p.ResizeUcharChannel(frame.data() + c, same.data() + c, &eq, 3);
    p.ResizeFloat(src.data(), fsame.data(), &eq);
    EXPECT_EQ(same, frame);
    EXPECT_EQ(fsame, src);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Resize8(frame, eq, true), Bytes(frame.begin(), frame.begin() + 6));
    p.ResizeUcharMask(nullptr, untouched.data(), &eq);
    for (int k = 0; k < 3; ++k) {  // a null source, a null destination, an empty size
        const ResizeGeometry* g = k == 2 ? &empty : &other;
        p.ResizeUcharMask(k == 0 ? nullptr : frame.data(), k == 1 ? nullptr : untouched.data(), g);
        p.ResizeUcharChannel(k == 0 ? nullptr : frame.data(), k == 1 ? nullptr : untouched.data(), g, 1);
        p.ResizeFloat(k == 0 ? nullptr : src.data(), k == 1 ? nullptr : funtouched.data(), g);
    }
    p.ResizeFloat(nullptr, fsame.data(), &eq);  // the failed bounded copy zero-fills
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ResizeUcharMask copy succeededResizeFloat failed, copy failed 22");
    EXPECT_EQ(untouched, Bytes(12, kCanary));
    EXPECT_EQ(funtouched, Floats(12, kFloatCanary));
    EXPECT_EQ(fsame, Floats(6, 0.0f));
}

// Thousands of geometries (sizes of 1, odd widths, steps 1 to 4, long axes, the
// library's own), each routine (through the active kernel table) against the
// formulas above; canaries after each plane and between channels stay. Every
// table entry against its scalar twin, at every tier: tests/dispatch.
TEST(Resize, RoutinesMatchReference) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> logit(-8.0f, 8.0f);
    rgbproc::RGBPROCESS p;
    for (int iter = 0; iter < 3000; ++iter) {
        const int hi = iter % 20 == 0 ? 300 : 24;
        ResizeGeometry g{Uniform(rng, 1, hi), Uniform(rng, 1, hi), Uniform(rng, 1, hi), Uniform(rng, 1, hi)};
        int step = Uniform(rng, 1, 4);
        if (iter == 0) g = {640, 480, 288, 160}, step = 4;
        if (iter == 1) g = {288, 160, 1283, 721}, step = 1;  // several column chunks of the mask resize
        if (iter == 2) g = {144, 80, 288, 160};
        // Enlargements of flat areas, where the mask resize copies flat blocks.
        if (iter % 20 == 10) g = {Uniform(rng, 1, 40), Uniform(rng, 1, 40), Uniform(rng, 32, 600), Uniform(rng, 41, 200)};
        if (iter % 20 == 5) g.srcWidth = Uniform(rng, 1, 5000), g.dstWidth = Uniform(rng, 1, 5000);

        const int ch = Uniform(rng, 0, step - 1);
        const Bytes src = RandomBytes(rng, static_cast<size_t>(g.srcWidth) * g.srcHeight * step, iter % 20 == 10 ? 3 : -1);
        const size_t plane = static_cast<size_t>(g.dstWidth) * g.dstHeight;
        Bytes vec(plane * step + 4, kCanary), expect(vec);
        p.ResizeUcharChannel(src.data() + ch, vec.data() + ch, &g, step);
        Reference8(src.data() + ch, g, step, false, expect.data() + ch);
        ASSERT_EQ(vec, expect) << Where(g, step);
        if (g.srcWidth == g.dstWidth && g.srcHeight == g.dstHeight) continue;  // copies: see the examples

        Bytes mvec(plane + 4, kCanary), mexp(mvec);
        p.ResizeUcharMask(src.data(), mvec.data(), &g);
        Reference8(src.data(), g, 1, true, mexp.data());
        ASSERT_EQ(mvec, mexp) << Where(g);

        Floats fsrc(static_cast<size_t>(g.srcWidth) * g.srcHeight);
        for (auto& f : fsrc) f = logit(rng);
        Floats fvec(plane + 4, kFloatCanary), fexp(fvec);
        p.ResizeFloat(fsrc.data(), fvec.data(), &g);
        ReferenceFloat(fsrc.data(), g, fexp.data());
        ASSERT_TRUE(SameBits(fvec, fexp)) << Where(g);
    }
}
