#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "postprocess/connection_filter.h"

namespace {

constexpr int kRows = 160;
constexpr int kCols = 288;
using Plane = std::vector<float>;

int At(int r, int c) { return r * kCols + c; }

void Fill(Plane& m, int r0, int c0, int rows, int cols, float v) {
    for (int r = r0; r < r0 + rows; ++r)
        for (int c = c0; c < c0 + cols; ++c) m[At(r, c)] = v;
}

// The test's own formulation: 8-connected components of foreground pixels
// found by a stack-based fill; a component counts only if it has an interior
// pixel, and its rank is that of its first interior pixel in row-major order.
Plane Reference(const Plane& in) {
    std::vector<int> comp(in.size(), -1);
    std::vector<int> size, firstInterior;
    for (int start = 0; start < kRows * kCols; ++start) {
        if (!(in[start] >= 0.25f) || comp[start] >= 0) continue;
        const int id = static_cast<int>(size.size());
        size.push_back(0);
        firstInterior.push_back(-1);
        std::vector<int> stack = {start};
        comp[start] = id;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            ++size[id];
            const int r = p / kCols, c = p % kCols;
            if (r > 0 && r < kRows - 1 && c > 0 && c < kCols - 1 &&
                (firstInterior[id] < 0 || p < firstInterior[id]))
                firstInterior[id] = p;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int rr = r + dr, cc = c + dc;
                    if (rr < 0 || rr >= kRows || cc < 0 || cc >= kCols) continue;
                    const int q = At(rr, cc);
                    if (in[q] >= 0.25f && comp[q] < 0) {
                        comp[q] = id;
                        stack.push_back(q);
                    }
                }
        }
    }
    int best = -1;
    for (int id = 0; id < static_cast<int>(size.size()); ++id) {
        if (firstInterior[id] < 0) continue;
        if (best < 0 || size[id] > size[best] ||
            (size[id] == size[best] && firstInterior[id] < firstInterior[best]))
            best = id;
    }
    if (best < 0) return in;
    Plane out(in.size(), 0.0f);
    for (size_t i = 0; i < in.size(); ++i)
        if (comp[i] == best) out[i] = in[i];
    return out;
}

}  // namespace

TEST(ConnetionFilter, NoRegion) {
    connection::ConnetionFilter f;
    EXPECT_EQ(f.KeepLargestComponent(nullptr), -1);

    Plane zero(kRows * kCols, 0.0f);
    zero[At(50, 50)] = 0.2499f;  // below the threshold: kept as it is
    Plane m(zero);
    EXPECT_EQ(f.KeepLargestComponent(m.data()), 0);
    EXPECT_EQ(m, zero);

    // Foreground only in the outermost rows and columns: never a seed.
    Plane border(kRows * kCols, 0.1f);
    Fill(border, 0, 0, 1, kCols, 0.9f);
    Fill(border, 0, kCols - 1, kRows, 1, 0.8f);
    Fill(border, kRows - 1, 5, 1, 3, 0.7f);
    m = border;
    EXPECT_EQ(f.KeepLargestComponent(m.data()), 0);
    EXPECT_EQ(m, border);

    // Two rows or fewer: nothing happens.
    connection::ConnetionFilter flat;
    flat.m_rows = 2;
    Plane blob(kRows * kCols, 0.0f);
    Fill(blob, 0, 3, 2, 4, 1.0f);
    m = blob;
    EXPECT_EQ(flat.KeepLargestComponent(m.data()), 0);
    EXPECT_EQ(m, blob);
}

TEST(ConnetionFilter, KeepsTheLargestRegion) {
    connection::ConnetionFilter f;
    Plane m(kRows * kCols, 0.1f);
    Fill(m, 10, 10, 3, 3, 0.9f);       // label 1, 9 pixels
    Fill(m, 13, 13, 2, 2, 0.6f);       // touches the first only at a corner: same region
    Fill(m, 40, 40, 4, 3, 0.25f);      // label 2, 12 pixels: exactly 0.25 is foreground
    m[At(41, 41)] = 0.5f;
    Fill(m, 0, 100, 1, 20, 1.0f);      // border-only: cleared
    Fill(m, 100, 0, 10, 1, 1.0f);      // reached from an interior seed: kept
    Fill(m, 100, 1, 1, 12, 1.0f);
    const Plane in(m);
    EXPECT_EQ(f.KeepLargestComponent(m.data()), 3);
    for (int i = 0; i < kRows * kCols; ++i) {
        const int r = i / kCols, c = i % kCols;
        const bool kept = (c == 0 && r >= 100 && r < 110) || (r == 100 && c >= 1 && c < 13);
        ASSERT_EQ(m[i], kept ? in[i] : 0.0f) << r << "," << c;
    }
    EXPECT_EQ(f.m_labels[At(10, 10)], 1u);
    EXPECT_EQ(f.m_labels[At(14, 14)], 1u);
    EXPECT_EQ(f.m_labels[At(40, 40)], 2u);

    // The union of the two corner-touching squares (13 pixels) outweighs 12,
    // and fractional values of the kept region survive.
    Plane two(kRows * kCols, 0.2f);
    Fill(two, 10, 10, 3, 3, 0.9f);
    Fill(two, 13, 13, 2, 2, 0.6f);
    Fill(two, 40, 40, 4, 3, 0.3f);
    const Plane twoIn(two);
    EXPECT_EQ(f.KeepLargestComponent(two.data()), 1);
    EXPECT_EQ(two[At(14, 14)], 0.6f);
    EXPECT_EQ(two[At(12, 12)], 0.9f);
    EXPECT_EQ(two[At(9, 10)], 0.0f);  // 0.2 next to the kept region
    EXPECT_EQ(two[At(41, 41)], 0.0f);
}

TEST(ConnetionFilter, EqualSizesKeepTheFirstFound) {
    connection::ConnetionFilter f;
    Plane m(kRows * kCols, 0.0f);
    Fill(m, 20, 200, 2, 2, 0.7f);  // first interior pixel in row 20
    Fill(m, 21, 5, 2, 2, 0.8f);    // further left, but a row later
    EXPECT_EQ(f.KeepLargestComponent(m.data()), 1);
    EXPECT_EQ(m[At(20, 200)], 0.7f);
    EXPECT_EQ(m[At(21, 5)], 0.0f);

    // A region covering the whole plane: no deep recursion, nothing cleared.
    Plane full(kRows * kCols, 0.5f);
    EXPECT_EQ(f.KeepLargestComponent(full.data()), 1);
    EXPECT_EQ(full, Plane(kRows * kCols, 0.5f));
}

TEST(ConnetionFilter, GrowFromPixelQueuesNeighboursClockwiseFromEast) {
    connection::ConnetionFilter f;
    Plane m(kRows * kCols, 1.0f);
    std::vector<uint32_t> labels(kRows * kCols, 0);
    labels[At(4, 6)] = 9;  // the north-east neighbour is taken already
    m[At(5, 4)] = 0.0f;    // the west one is background
    m[At(5, 5)] = 0.0f;    // the pixel itself is labelled whatever its value
    connection::PixelQueue q;
    EXPECT_EQ(f.GrowFromPixel(m.data(), labels.data(), 3, At(5, 5), &q), 6);
    EXPECT_EQ(labels[At(5, 5)], 3u);
    std::vector<int> order;
    while (!q.Empty()) order.push_back(q.Pop());
    EXPECT_EQ(order, (std::vector<int>{At(5, 6), At(6, 6), At(6, 5), At(6, 4), At(4, 4), At(4, 5)}));
    EXPECT_EQ(labels[At(4, 6)], 9u);
    EXPECT_EQ(labels[At(5, 4)], 0u);

    // At the last pixel only W, NW and N lie inside the plane.
    std::fill(labels.begin(), labels.end(), 0u);
    EXPECT_EQ(f.GrowFromPixel(m.data(), labels.data(), 1, kRows * kCols - 1, &q), 3);
    order.clear();
    while (!q.Empty()) order.push_back(q.Pop());
    EXPECT_EQ(order, (std::vector<int>{At(kRows - 1, kCols - 2), At(kRows - 2, kCols - 2),
                                       At(kRows - 2, kCols - 1)}));
}

TEST(ConnetionFilter, MatchesReferenceOnRandomMasks) {
    std::mt19937 rng(41);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    connection::ConnetionFilter f;
    for (int iter = 0; iter < 60; ++iter) {
        // Blobs of several sizes over sparse noise, so that ties and regions
        // reaching the border both occur.
        Plane m(kRows * kCols);
        const float density = 0.05f + 0.3f * (iter % 4);
        for (auto& v : m) v = unit(rng) < density ? 0.25f + 0.75f * unit(rng) : 0.25f * unit(rng);
        const int blobs = iter % 5;
        for (int b = 0; b < blobs; ++b) {
            const int h = 1 + static_cast<int>(unit(rng) * 20), w = 1 + static_cast<int>(unit(rng) * 30);
            Fill(m, static_cast<int>(unit(rng) * (kRows - h)), static_cast<int>(unit(rng) * (kCols - w)), h, w, 0.75f);
        }
        const Plane expect = Reference(m);
        f.KeepLargestComponent(m.data());
        ASSERT_EQ(m, expect) << "iteration " << iter;
    }
}
