#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "resampling/resize_kernels.h"
#include "resampling/rgb_process.h"
#include "resize_reference.h"

namespace {

struct Tables {
    explicit Tables(const ResizeGeometry& g)
        : indices(2 * (g.dstWidth + g.dstHeight), -7), weights(2 * (g.dstWidth + g.dstHeight), -7.0f) {
        view.indices = indices.data();
        view.weights = weights.data();
        view.dstWidth = g.dstWidth;
        view.dstHeight = g.dstHeight;
    }
    std::vector<int32_t> indices;
    std::vector<float> weights;
    rgbproc::ResizeTables view;
};

}  // namespace

TEST(BuildResizeTables, WorkedExamples) {
    rgbproc::RGBPROCESS p;
    {
        // S = 4 -> D = 2 samples positions 1 and 3; S = 2 -> D = 4 along y.
        const ResizeGeometry g{4, 2, 2, 4};
        Tables t(g);
        p.BuildResizeTables(t.view.indices, t.view.weights, &g, 1);
        EXPECT_EQ(t.view.x0()[0], 1);
        EXPECT_EQ(t.view.x1()[0], 2);
        EXPECT_EQ(t.view.wx0()[0], 1.0f);
        EXPECT_EQ(t.view.wx1()[0], 0.0f);
        EXPECT_EQ(t.view.x0()[1], 3);
        EXPECT_EQ(t.view.x1()[1], 3);
        EXPECT_EQ(t.view.wx0()[1], 0.0f);
        EXPECT_EQ(t.view.wx1()[1], 1.0f);
        const int lower[4] = {0, 0, 0, 0};
        const int upper[4] = {0, 1, 1, 1};
        const float w1[4] = {-1.0f / 3, 0.0f, 1.0f / 3, 2.0f / 3};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(t.view.y0()[i], lower[i]);
            EXPECT_EQ(t.view.y1()[i], upper[i]);
            EXPECT_NEAR(t.view.wy1()[i], w1[i], 1e-6);
            EXPECT_EQ(t.view.wy0()[i], 1.0f - t.view.wy1()[i]);
        }
    }
    {
        // 640 x 480 -> 288 x 160 with pixel step 3: the vector path's axis.
        const ResizeGeometry g{640, 480, 288, 160};
        Tables t(g);
        p.BuildResizeTables(t.view.indices, t.view.weights, &g, 3);
        EXPECT_EQ(t.view.x0()[0], 0);
        EXPECT_EQ(t.view.x1()[0], 3);
        EXPECT_NEAR(t.view.wx1()[0], 0.613, 5e-4);
        EXPECT_EQ(t.view.x0()[287], 639 * 3);
        EXPECT_EQ(t.view.x1()[287], 639 * 3);
        EXPECT_EQ(t.view.y0()[159], 479 * 3);
        EXPECT_EQ(t.view.y1()[159], 479 * 3);
    }
    {
        // A single destination position samples the first source position.
        const ResizeGeometry g{9, 5, 1, 1};
        Tables t(g);
        p.BuildResizeTables(t.view.indices, t.view.weights, &g, 4);
        EXPECT_EQ(t.indices, (std::vector<int32_t>{0, 0, 0, 0}));
        EXPECT_EQ(t.weights, (std::vector<float>{1.0f, 0.0f, 1.0f, 0.0f}));
    }
}

// The vector builder (sixteen positions per step) against the scalar kernel
// and the test's own per-position formula, over thousands of axes.
TEST(BuildResizeTables, VectorMatchesScalarBitForBit) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> small(1, 40);
    std::uniform_int_distribution<int> large(1, 5000);
    std::uniform_int_distribution<int> stepDist(1, 4);
    rgbproc::RGBPROCESS p;
    for (int iter = 0; iter < 4000; ++iter) {
        const bool big = iter % 4 == 0;
        const ResizeGeometry g{big ? large(rng) : small(rng), small(rng),
                               big ? large(rng) : small(rng) + 1, small(rng) + 1};
        const int step = stepDist(rng);
        Tables vec(g), sca(g);
        p.BuildResizeTables(vec.view.indices, vec.view.weights, &g, step);
        rgbproc::kernels::BuildResizeTablesScalar(sca.view.indices, sca.view.weights, &g, step);
        ASSERT_EQ(vec.indices, sca.indices) << g.srcWidth << "->" << g.dstWidth;
        ASSERT_EQ(0, std::memcmp(vec.weights.data(), sca.weights.data(), vec.weights.size() * 4))
            << g.srcWidth << "->" << g.dstWidth;
        for (int x = 0; x < g.dstWidth; ++x) {
            const ref::Sample s = ref::AxisSample(g.srcWidth, g.dstWidth, x);
            ASSERT_EQ(vec.view.x0()[x], s.lo * step);
            ASSERT_EQ(vec.view.x1()[x], s.hi * step);
            ASSERT_EQ(vec.view.wx0()[x], s.w0);
            ASSERT_EQ(vec.view.wx1()[x], s.w1);
        }
    }
}
