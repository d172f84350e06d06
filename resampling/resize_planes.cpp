// Whole-plane resizes over a kernel table (declared in resize_kernels.h).
#include <cstddef>
#include <memory>

#include "resampling/resize_kernels.h"

namespace vidra {
namespace resampling {
namespace {

int32_t MulWrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// The tables of one call, built by the table's own builder. If the second
// array cannot be allocated the first is released as std::bad_alloc leaves.
struct Tables {
    Tables(const ResizeKernels& k, const ResizeGeometry& g, int32_t step) {
        const std::size_t n =
            2 * (static_cast<std::size_t>(g.dstWidth) + static_cast<std::size_t>(g.dstHeight));
        indices.reset(new int32_t[n]());
        weights.reset(new float[n]());
        const int32_t dw = g.dstWidth;
        const int32_t dh = g.dstHeight;
        int32_t* i = indices.get();
        float* w = weights.get();
        k.buildAxis(g.srcWidth, dw, step, i, i + dw, w, w + dw);
        k.buildAxis(g.srcHeight, dh, step, i + 2 * dw, i + 2 * dw + dh, w + 2 * dw, w + 2 * dw + dh);
        view = ViewTables(i, w, dw, dh);
    }
    std::unique_ptr<int32_t[]> indices;
    std::unique_ptr<float[]> weights;
    ResizeTableView view;
};

}  // namespace

void ResizeChannelPlane(const ResizeKernels& k, const uint8_t* src, uint8_t* dst, const ResizeGeometry& g,
                        int32_t step) {
    const Tables tables(k, g, step);
    const ResizeTableView& t = tables.view;
    const std::ptrdiff_t dstRowStride = static_cast<std::ptrdiff_t>(g.dstWidth) * step;
    for (int32_t y = 0; y < g.dstHeight; ++y) {
        const uint8_t* src0 = src + MulWrap(t.y0[y], g.srcWidth);
        const uint8_t* src1 = src + MulWrap(t.y1[y], g.srcWidth);
        k.channelRow(src0, src1, t, y, step, dst + y * dstRowStride);
    }
}

void ResizePixelPlane(const ResizeKernels& k, const uint8_t* src, uint8_t* dst, const ResizeGeometry& g,
                      int32_t step) {
    const Tables tables(k, g, step);
    const ResizeTableView& t = tables.view;
    const std::ptrdiff_t dstRowStride = static_cast<std::ptrdiff_t>(g.dstWidth) * step;
    for (int32_t y = 0; y < g.dstHeight; ++y) {
        const uint8_t* src0 = src + MulWrap(t.y0[y], g.srcWidth);
        const uint8_t* src1 = src + MulWrap(t.y1[y], g.srcWidth);
        k.pixelRow(src0, src1, t, y, step, false, dst + y * dstRowStride);
    }
}

void ResizeMaskPlane(const ResizeKernels& k, const uint8_t* src, uint8_t* dst, const ResizeGeometry& g) {
    const Tables tables(k, g, 1);
    k.resizeMask(tables.view, src, g.srcWidth, dst);
}

void ResizeFloatPlane(const ResizeKernels& k, const float* src, float* dst, const ResizeGeometry& g) {
    const FloatAxis cols = MakeFloatAxis(g.srcWidth, g.dstWidth);
    const FloatAxis rows = MakeFloatAxis(g.srcHeight, g.dstHeight);
    for (int32_t y = 0; y < g.dstHeight; ++y) {
        const FloatRow row = MakeFloatRow(src, g.srcWidth, rows, y);
        k.floatRow(row, cols, g.dstWidth, dst + static_cast<std::ptrdiff_t>(y) * g.dstWidth);
    }
}

}  // namespace resampling
}  // namespace vidra
