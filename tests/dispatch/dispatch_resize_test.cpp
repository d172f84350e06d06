// The resize and YUV conversion tables: every entry of every tier this
// processor has against the scalar entry, bit for bit, on random sizes,
// strides, steps and contents.
#include <algorithm>
#include <string>

#include "dispatch_support.h"
#include "resampling/resize_kernels.h"
#include "resampling/yuv_kernels.h"

namespace {

using namespace dispatch_test;
namespace r = vidra::resampling;

std::string Where(int sw, int sh, int dw, int dh, int step) {
    return testing::PrintToString(std::vector<int>{sw, sh, dw, dh, step});
}

// Tables of a resize built by a kernel set (the layout of rgbproc::ResizeTables).
struct Tables {
    Tables(const r::ResizeKernels& k, int sw, int sh, int dw, int dh, int step)
        : indices(2 * (dw + dh)), weights(indices.size()) {
        k.buildAxis(sw, dw, step, indices.data(), indices.data() + dw, weights.data(), weights.data() + dw);
        k.buildAxis(sh, dh, step, indices.data() + 2 * dw, indices.data() + 2 * dw + dh, weights.data() + 2 * dw,
                    weights.data() + 2 * dw + dh);
        view = r::ViewTables(indices.data(), weights.data(), dw, dh);
    }
    std::vector<int32_t> indices;
    Floats weights;
    r::ResizeTableView view;
};

// Sizes of 1, odd sizes, long axes, enlargements and reductions, the library's own.
void RandomGeometry(std::mt19937& rng, int iter, int& sw, int& sh, int& dw, int& dh) {
    const int hi = iter % 10 == 0 ? 300 : 40;
    sw = Uniform(rng, 1, hi), sh = Uniform(rng, 1, hi), dw = Uniform(rng, 1, hi), dh = Uniform(rng, 1, hi);
    if (iter % 25 == 3) sw = 1280, sh = 720, dw = 288, dh = 160;
    if (iter % 25 == 4) sw = 288, sh = 160, dw = Uniform(rng, 600, 1300), dh = Uniform(rng, 160, 400);
    if (iter % 25 == 5) sw = Uniform(rng, 1, 5000), dw = Uniform(rng, 1, 2000), sh = Uniform(rng, 1, 6);
}

}  // namespace

TEST(Dispatch, ResizeTables) {
    const auto scalar = TableFor<r::ResizeKernels, r::FillResizeKernels>(vidra::CpuTier::kScalar);
    for (vidra::CpuTier tier : VectorTiers()) {
        SCOPED_TRACE(vidra::CpuTierName(tier));
        const auto k = TableFor<r::ResizeKernels, r::FillResizeKernels>(tier);
        EXPECT_GT(DifferingEntries(k, scalar), 0);
        std::mt19937 rng(100 + static_cast<int>(tier));
        for (int iter = 0; iter < 400; ++iter) {
            int sw, sh, dw, dh;
            RandomGeometry(rng, iter, sw, sh, dw, dh);
            const int step = Uniform(rng, 1, 4);
            const Tables ts(scalar, sw, sh, dw, dh, step), tv(k, sw, sh, dw, dh, step);
            ASSERT_EQ(tv.indices, ts.indices) << Where(sw, sh, dw, dh, step);
            ASSERT_TRUE(SameBits(tv.weights, ts.weights)) << Where(sw, sh, dw, dh, step);

            // One channel of an interleaved image with a row stride of its own;
            // the last row ends the buffer.
            const int channel = Uniform(rng, 0, step - 1);
            const size_t stride = static_cast<size_t>(sw) * step + Uniform(rng, 0, 37);
            const Bytes src = RandomBytes(rng, (sh - 1) * stride + static_cast<size_t>(sw) * step);
            const size_t rowBytes = static_cast<size_t>(dw) * step;
            Bytes want(rowBytes * dh + 8, kCanary), got(want);
            for (int y = 0; y < dh; ++y) {
                const uint8_t* s0 = src.data() + ts.view.y0[y] / step * stride + channel;
                const uint8_t* s1 = src.data() + ts.view.y1[y] / step * stride + channel;
                scalar.channelRow(s0, s1, ts.view, y, step, want.data() + y * rowBytes + channel);
                k.channelRow(s0, s1, ts.view, y, step, got.data() + y * rowBytes + channel);
            }
            ASSERT_EQ(got, want) << Where(sw, sh, dw, dh, step);

            // Three channels at once (steps 3 and 4, red and blue swapped or
            // not); the fourth byte of a pixel stays as it was.
            if (step >= 3) {
                const bool swap = Uniform(rng, 0, 1) == 1;
                Bytes pwant(rowBytes * dh + 8, kCanary), pgot(pwant);
                for (int y = 0; y < dh; ++y) {
                    const uint8_t* s0 = src.data() + ts.view.y0[y] / step * stride;
                    const uint8_t* s1 = src.data() + ts.view.y1[y] / step * stride;
                    scalar.pixelRow(s0, s1, ts.view, y, step, swap, pwant.data() + y * rowBytes);
                    k.pixelRow(s0, s1, ts.view, y, step, swap, pgot.data() + y * rowBytes);
                }
                ASSERT_EQ(pgot, pwant) << Where(sw, sh, dw, dh, step) << (swap ? " swapped" : "");
            }

            // The mask resize (step 1, contiguous planes), flat areas included.
            const Tables unit(scalar, sw, sh, dw, dh, 1);
            const Bytes plane = RandomBytes(rng, static_cast<size_t>(sw) * sh);
            Bytes mwant(static_cast<size_t>(dw) * dh + 8, kCanary), mgot(mwant);
            scalar.resizeMask(unit.view, plane.data(), sw, mwant.data());
            k.resizeMask(unit.view, plane.data(), sw, mgot.data());
            ASSERT_EQ(mgot, mwant) << Where(sw, sh, dw, dh, 1);

            // The float resize, rows with a stride.
            const int fstride = sw + Uniform(rng, 0, 9);
            const Floats fsrc = RandomFloats(rng, static_cast<size_t>(sh) * fstride, -8.0f, 8.0f);
            const r::FloatAxis cols = r::MakeFloatAxis(sw, dw), rows = r::MakeFloatAxis(sh, dh);
            Floats fwant(static_cast<size_t>(dw) * dh + 4, -1.0f), fgot(fwant);
            for (int y = 0; y < dh; ++y) {
                const r::FloatRow row = r::MakeFloatRow(fsrc.data(), fstride, rows, y);
                scalar.floatRow(row, cols, dw, fwant.data() + static_cast<size_t>(y) * dw);
                k.floatRow(row, cols, dw, fgot.data() + static_cast<size_t>(y) * dw);
            }
            ASSERT_TRUE(SameBits(fgot, fwant)) << Where(sw, sh, dw, dh, 1);
        }
    }
}

TEST(Dispatch, YuvTables) {
    const auto scalar = TableFor<r::YuvKernels, r::FillYuvKernels>(vidra::CpuTier::kScalar);
    const auto resize = TableFor<r::ResizeKernels, r::FillResizeKernels>(vidra::CpuTier::kScalar);
    for (vidra::CpuTier tier : VectorTiers()) {
        SCOPED_TRACE(vidra::CpuTierName(tier));
        const auto k = TableFor<r::YuvKernels, r::FillYuvKernels>(tier);
        EXPECT_EQ(DifferingEntries(k, scalar), 2);
        std::mt19937 rng(200 + static_cast<int>(tier));
        for (int iter = 0; iter < 3000; ++iter) {
            const int width = iter % 50 == 0 ? 1280 : Uniform(rng, 1, iter % 5 == 0 ? 2000 : 70);
            const bool nv12 = iter % 2 == 0;
            // The planes end where the row's last sample is.
            const Bytes luma = RandomBytes(rng, width, Uniform(rng, 0, 2));
            const int chromaWidth = (width + 1) / 2;
            const Bytes uv = RandomBytes(rng, nv12 ? 2 * chromaWidth : chromaWidth, Uniform(rng, 0, 2));
            const Bytes v = RandomBytes(rng, chromaWidth, Uniform(rng, 0, 2));
            const r::YuvRow row{luma.data(), uv.data(), nv12 ? uv.data() + 1 : v.data(), nv12 ? 2 : 1};
            // The columns a resize samples (lower and upper neighbour of each
            // output column, as the network input gathers them), or any columns.
            std::vector<int32_t> cols;
            if (iter % 3 != 2) {
                const int out = Uniform(rng, 1, 400);
                std::vector<int32_t> i0(out), i1(out);
                Floats w0(out), w1(out);
                resize.buildAxis(width, out, 1, i0.data(), i1.data(), w0.data(), w1.data());
                for (int x = 0; x < out; ++x) cols.push_back(i0[x]), cols.push_back(i1[x]);
            } else {
                cols.resize(Uniform(rng, 0, 100));
                for (auto& c : cols) c = Uniform(rng, 0, width - 1);
            }
            const int n = static_cast<int>(cols.size());
            Bytes want(3 * cols.size() + 8, kCanary), got(want);
            scalar.gatherRow(row, cols.data(), n, want.data());
            k.gatherRow(row, cols.data(), n, got.data());
            ASSERT_EQ(got, want) << "width " << width << (nv12 ? " NV12" : " I420") << " columns " << n;
            Bytes dense(3 * static_cast<size_t>(width) + 8, kCanary), denseGot(dense);
            scalar.convertRow(row, width, dense.data());
            k.convertRow(row, width, denseGot.data());
            ASSERT_EQ(denseGot, dense) << "whole row, width " << width << (nv12 ? " NV12" : " I420");
        }
    }
}
