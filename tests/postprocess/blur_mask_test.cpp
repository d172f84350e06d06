#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "postprocess/blur_mask.h"

namespace {

using Plane = std::vector<float>;

Plane Blur(const Plane& src, int w, int h) {
    Plane dst(src.size(), -1.0f);
    BlurMask(src.data(), dst.data(), w, h);
    return dst;
}

// The test's own formulation: neighbours listed by (row, column) offset in the
// order their values are summed.
Plane Reference(const Plane& s, int w, int h) {
    static const int kOrder[8][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    Plane d(s);
    for (int r = 1; r + 1 < h; ++r) {
        for (int c = 1; c + 1 < w; ++c) {
            const float v = s[r * w + c];
            float sum = v;
            float count = 1.0f;
            for (const auto& o : kOrder) {
                const float u = s[(r + o[0]) * w + c + o[1]];
                if (u < v) {
                    sum = sum + u;
                    count = count + 1.0f;
                }
            }
            d[r * w + c] = sum / count;
        }
    }
    return d;
}

bool SameBits(const Plane& a, const Plane& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(BlurMask, WorkedExamples) {
    // A lone 1.0 among zeros: 1/9; zeros next to it stay 0.
    Plane lone(25, 0.0f);
    lone[12] = 1.0f;
    Plane out = Blur(lone, 5, 5);
    EXPECT_EQ(out[12], 1.0f / 9.0f);
    for (int i = 0; i < 25; ++i) {
        if (i != 12) {
            EXPECT_EQ(out[i], 0.0f);
        }
    }

    // A straight horizontal edge: rows 0-2 at 1.0, rows 3-4 at 0.0.
    Plane edge(25, 0.0f);
    for (int i = 0; i < 15; ++i) edge[i] = 1.0f;
    out = Blur(edge, 5, 5);
    for (int c = 1; c < 4; ++c) {
        EXPECT_EQ(out[2 * 5 + c], 0.25f);
        EXPECT_EQ(out[1 * 5 + c], 1.0f);
        EXPECT_EQ(out[3 * 5 + c], 0.0f);
    }

    // The convex corner of a 3 x 3 square of ones: five lower neighbours.
    Plane corner(25, 0.0f);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) corner[r * 5 + c] = 1.0f;
    EXPECT_EQ(Blur(corner, 5, 5)[2 * 5 + 2], 1.0f / 6.0f);

    // Constant planes, the outermost ring, 3 x 3 and two-high planes.
    EXPECT_EQ(Blur(Plane(35, 0.7f), 7, 5), Plane(35, 0.7f));
    Plane ring(25, 0.0f);
    for (int i = 0; i < 25; ++i) ring[i] = (i / 5 == 0 || i / 5 == 4 || i % 5 == 0 || i % 5 == 4) ? 1.0f : 0.5f;
    out = Blur(ring, 5, 5);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(out[i], ring[i]);
    Plane three = {0.9f, 0.1f, 0.8f, 0.2f, 0.5f, 0.7f, 0.3f, 0.6f, 0.4f};
    out = Blur(three, 3, 3);
    // Lower neighbours in summing order: (r+1,c+1) 0.4, (r+1,c-1) 0.3, (r-1,c) 0.1, (r,c-1) 0.2.
    EXPECT_EQ(out[4], ((((0.5f + 0.4f) + 0.3f) + 0.1f) + 0.2f) / 5.0f);
    out[4] = three[4];
    EXPECT_EQ(out, three);
    const Plane flatTwo = {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f};
    EXPECT_EQ(Blur(flatTwo, 4, 2), flatTwo);
    EXPECT_EQ(Blur(flatTwo, 2, 4), flatTwo);
}

TEST(BlurMask, FailedCopyStops) {
    Plane dst(12, -1.0f);
    BlurMask(nullptr, dst.data(), 4, 3);  // the bounded copy zero-fills
    EXPECT_EQ(dst, Plane(12, 0.0f));
    const Plane src(12, 1.0f);
    BlurMask(src.data(), nullptr, 4, 3);  // nothing to write into; no crash
}

// The AVX rows against the scalar rows and the test's formulation, bit for
// bit, over thousands of sizes and contents with ties, NaN, infinities, -0.
TEST(BlurMask, VectorMatchesScalarAndReference) {
    std::mt19937 rng(31);
    std::uniform_int_distribution<int> width(1, 45);
    std::uniform_int_distribution<int> height(1, 9);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> pick(0, 99);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), -0.0f, 0.0f, 1.0f};
    for (int iter = 0; iter < 4000; ++iter) {
        const int w = width(rng), h = height(rng);
        Plane src(static_cast<size_t>(w) * h);
        const int mode = iter % 3;
        for (auto& f : src) {
            const int k = pick(rng);
            if (mode == 0) f = unit(rng);
            else if (mode == 1) f = static_cast<float>(k % 4) * 0.25f;  // many ties
            else f = k < 20 ? specials[k % 6] : unit(rng) * 4.0f - 2.0f;
        }
        Plane vec(src.size(), -1.0f), sca(vec);
        BlurMask(src.data(), vec.data(), w, h);
        BlurMaskScalar(src.data(), sca.data(), w, h);
        ASSERT_TRUE(SameBits(vec, sca)) << w << "x" << h << " iteration " << iter;
        ASSERT_TRUE(SameBits(vec, Reference(src, w, h))) << w << "x" << h << " iteration " << iter;
    }
}
