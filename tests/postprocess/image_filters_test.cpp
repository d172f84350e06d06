// The mask filters: logistic activation, edge blur, largest-region filter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "postprocess/blur_mask.h"
#include "postprocess/connection_filter.h"
#include "postprocess/logistic.h"
#include "postprocess/mask_kernels.h"

namespace {

using Floats = std::vector<float>;
using vidra::postprocess::BlurMask;
using vidra::postprocess::ExpScalar;
using vidra::postprocess::LogisticInPlace;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

uint32_t Bits(float f) { uint32_t u; std::memcpy(&u, &f, sizeof u); return u; }
float FromBits(uint32_t u) { float f; std::memcpy(&f, &u, sizeof f); return f; }

// An empty vector may hold a null pointer, which memcmp must not get.
bool SameBits(const Floats& a, const Floats& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// Each interior pixel averaged with its strictly lower neighbours, summed in
// the order (row, column offset) below; the outermost ring copied.
Floats BlurReference(const Floats& s, int w, int h) {
    static const int kOrder[8][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    Floats d(s);
    for (int r = 1; r + 1 < h; ++r)
        for (int c = 1; c + 1 < w; ++c) {
            float sum = s[r * w + c], count = 1.0f;
            for (const auto& o : kOrder) {
                const float u = s[(r + o[0]) * w + c + o[1]];
                if (u < s[r * w + c]) sum = sum + u, count = count + 1.0f;
            }
            d[r * w + c] = sum / count;
        }
    return d;
}

}  // namespace

// Against double exp over both signs through overflow, underflow, subnormals; the limits exactly.
TEST(ExpScalar, WithinOneUlpOfExp) {
    for (uint32_t sign : {0u, 0x80000000u}) {
        for (uint32_t b = 0; b <= Bits(sign ? 105.0f : 90.0f); b += 613) {
            const float x = FromBits(b | sign);
            const float expect = static_cast<float>(std::exp(static_cast<double>(x)));
            ASSERT_LE(std::llabs(static_cast<int64_t>(Bits(ExpScalar(x))) - Bits(expect)), 1) << x;
        }
    }
    for (float x : {0.0f, -0.0f, kInf, -kInf, 88.8f, 1e30f, -104.0f, -1e30f, -103.0f}) {
        EXPECT_EQ(Bits(ExpScalar(x)), Bits(static_cast<float>(std::exp(static_cast<double>(x))))) << x;
    }
    EXPECT_EQ(Bits(ExpScalar(FromBits(0xFFC01234u))), 0xFFC01234u);  // a NaN comes back as it came
}

// The activation's values near double exp; every table entry against the
// scalar one, at every tier: tests/dispatch.
TEST(Logistic, Values) {
    const Floats in = {0.0f, 2.0f, -3.5f, 10.0f, 200.0f, -200.0f, kInf, -kInf, -30.0f, 0.5f, kNaN};
    Floats out(in);
    LogisticInPlace(out.data(), out.size());
    for (size_t i = 0; i + 1 < in.size(); ++i) {
        const float expect = static_cast<float>(1.0 / (1.0 + std::exp(-static_cast<double>(in[i]))));
        EXPECT_NEAR(out[i], expect, 3e-7f * expect) << in[i];
    }
    EXPECT_TRUE(std::isnan(out.back()));
    LogisticInPlace(nullptr, 5);
}

// 12 x 5 planes of ones and zeros, so that the vector step covers column 4.
TEST(BlurMask, WorkedExamples) {
    const auto plane = [](bool (*one)(int, int)) {
        Floats p(60);
        for (int i = 0; i < 60; ++i) p[i] = one(i / 12, i % 12) ? 1.0f : 0.0f;
        return p;
    };
    const struct { Floats src; float expect; } cases[] = {
        {plane([](int r, int c) { return r == 2 && c == 4; }), 1.0f / 9},  // a lone one
        {plane([](int r, int) { return r < 3; }), 0.25f},                   // a straight edge
        {plane([](int r, int c) { return r < 3 && c < 5; }), 1.0f / 6},     // a convex corner
    };
    for (const auto& c : cases) {
        Floats out(60, -1.0f);
        BlurMask(c.src.data(), out.data(), 12, 5);
        EXPECT_EQ(out[2 * 12 + 4], c.expect);
    }
    Floats dst(12, -1.0f);
    BlurMask(nullptr, dst.data(), 4, 3);  // the failed copy zero-fills and ends the call
    EXPECT_EQ(dst, Floats(12, 0.0f));
}

// The routine (through the active table) against the formulation above, bit
// for bit, with ties, NaN, infinities, -0.
TEST(BlurMask, MatchesReference) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> pick(0, 99);
    const float specials[] = {kNaN, kInf, -kInf, -0.0f, 0.0f, 1.0f};
    for (int iter = 0; iter < 4000; ++iter) {
        const int w = 1 + pick(rng) % 45, h = 1 + pick(rng) % 9;
        Floats src(static_cast<size_t>(w) * h);
        for (auto& f : src) {
            const int k = pick(rng);
            f = iter % 3 == 0 ? unit(rng) : iter % 3 == 1 ? (k % 4) * 0.25f  // many ties
                : k < 20 ? specials[k % 6] : unit(rng) * 4 - 2;
        }
        Floats vec(src.size(), -1.0f);
        BlurMask(src.data(), vec.data(), w, h);
        ASSERT_TRUE(SameBits(vec, BlurReference(src, w, h))) << w << "x" << h << " iteration " << iter;
    }
}

TEST(ConnetionFilter, KeepsTheLargestRegion) {
    constexpr int kRows = 160, kCols = 288;
    struct Block { int r, c, rows, cols; float value; bool kept; };
    const struct { std::vector<Block> blocks; int label; } cases[] = {
        // Squares touching at a corner are one region, 13 pixels beating 12.
        {{{10, 10, 3, 3, 0.9f, true}, {13, 13, 2, 2, 0.6f, true}, {40, 40, 4, 3, 0.3f, false}}, 1},
        // Exactly 0.25 is foreground: 12 pixels beating 9.
        {{{10, 10, 3, 3, 0.9f, false}, {40, 40, 4, 3, 0.25f, true}, {41, 41, 1, 1, 0.5f, true}}, 2},
        // Outermost rows and columns never seed a region but join one seeded inside.
        {{{0, 100, 1, 30, 1.0f, false}, {50, 50, 2, 2, 0.8f, false}, {100, 0, 10, 1, 1.0f, true},
          {100, 1, 1, 12, 0.7f, true}}, 2},
        // Equal sizes: the first found (row 20) wins over one further left a row later.
        {{{20, 200, 2, 2, 0.7f, true}, {21, 5, 2, 2, 0.8f, false}}, 1},
        // Nothing at or above 0.25 inside the outermost ring: left as it is.
        {{{50, 50, 1, 1, 0.2499f, true}, {0, 0, 1, kCols, 0.9f, true}, {0, kCols - 1, kRows, 1, 0.8f, true}}, 0},
        // The whole plane, one region without deep recursion.
        {{{0, 0, kRows, kCols, 0.5f, true}}, 1},
    };
    connection::ConnetionFilter f;
    for (const auto& c : cases) {
        Floats m(kRows * kCols, 0.1f), expect(m.size(), c.label ? 0.0f : 0.1f);
        for (const Block& b : c.blocks)
            for (int r = b.r; r < b.r + b.rows; ++r)
                for (int col = b.c; col < b.c + b.cols; ++col) {
                    m[r * kCols + col] = b.value;
                    expect[r * kCols + col] = b.kept ? b.value : 0.0f;
                }
        EXPECT_EQ(f.KeepLargestComponent(m.data()), c.label);
        EXPECT_EQ(m, expect) << "label " << c.label;
    }
    EXPECT_EQ(f.KeepLargestComponent(nullptr), -1);
}
