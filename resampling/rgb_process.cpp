#include "resampling/rgb_process.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "common/bounded_copy.h"
#include "common/cpu_features.h"
#include "common/log.h"
#include "resampling/resize_kernels.h"
#include "resampling/resize_kernels_avx2.h"

namespace rgbproc {

namespace {

bool HasPixels(const ResizeGeometry& g) {
    return g.srcWidth >= 1 && g.srcHeight >= 1 && g.dstWidth >= 1 && g.dstHeight >= 1;
}

bool SameSize(const ResizeGeometry& g) {
    return g.srcWidth == g.dstWidth && g.srcHeight == g.dstHeight;
}

// Bytes of a plane of width x height elements; 0 for an empty or negative size.
std::size_t PlaneBytes(int32_t width, int32_t height, std::size_t element) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * element;
}

int32_t MulWrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// One table axis: sixteen positions per AVX2 step where the processor has
// it, the rest (all of it on other processors) with scalar arithmetic.
void BuildAxis(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
               float* w1) {
    const int32_t done = vidra::CpuHasAvx2() ? kernels::avx2::BuildAxis(S, D, step, i0, i1, w0, w1) : 0;
    kernels::BuildAxisScalar(S, D, step, done, i0, i1, w0, w1);
}

// The tables of one call, zero-filled. If the second array cannot be
// allocated the first is released as std::bad_alloc leaves.
struct TableStorage {
    explicit TableStorage(const ResizeGeometry& g) {
        const std::size_t n =
            2 * (static_cast<std::size_t>(g.dstWidth) + static_cast<std::size_t>(g.dstHeight));
        indices.reset(new int32_t[n]());
        weights.reset(new float[n]());
        view.indices = indices.get();
        view.weights = weights.get();
        view.dstWidth = g.dstWidth;
        view.dstHeight = g.dstHeight;
    }
    std::unique_ptr<int32_t[]> indices;
    std::unique_ptr<float[]> weights;
    ResizeTables view;
};

}  // namespace

RGBPROCESS::~RGBPROCESS() {
    delete[] m_resizedFrame;
}

void RGBPROCESS::BuildResizeTables(int32_t* indices, float* weights, const ResizeGeometry* geometry,
                                   int32_t step) {
    if (indices == nullptr || weights == nullptr || geometry == nullptr || !HasPixels(*geometry)) {
        return;
    }
    const int32_t dw = geometry->dstWidth;
    const int32_t dh = geometry->dstHeight;
    BuildAxis(geometry->srcWidth, dw, step, indices, indices + dw, weights, weights + dw);
    BuildAxis(geometry->srcHeight, dh, step, indices + 2 * dw, indices + 2 * dw + dh,
              weights + 2 * dw, weights + 2 * dw + dh);
}

void RGBPROCESS::ResizeUcharChannel(const uint8_t* src, uint8_t* dst,
                                    const ResizeGeometry* geometry, int32_t step) {
    if (src == nullptr || dst == nullptr || geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (!HasPixels(g) || step < 1) return;
    TableStorage tables(g);
    BuildResizeTables(tables.view.indices, tables.view.weights, &g, step);
    const ResizeTables& t = tables.view;
    const std::ptrdiff_t dstRowStride = static_cast<std::ptrdiff_t>(g.dstWidth) * step;
    for (int32_t y = 0; y < g.dstHeight; ++y) {
        const uint8_t* src0 = src + MulWrap(t.y0()[y], g.srcWidth);
        const uint8_t* src1 = src + MulWrap(t.y1()[y], g.srcWidth);
        kernels::ChannelRowSse(src0, src1, t, y, step, g.dstWidth, dst + y * dstRowStride);
    }
}

void RGBPROCESS::ResizeUcharMask(const uint8_t* src, uint8_t* dst, const ResizeGeometry* geometry) {
    if (src == nullptr || dst == nullptr || geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (SameSize(g)) {
        const std::size_t bytes = PlaneBytes(g.srcWidth, g.srcHeight, 1);
        const int rc = BoundedCopy(dst, bytes, src, bytes);
        if (rc != kCopyOk) {
            LogPrintf("ResizeUcharMask failed, copy failed %d", rc);
        } else {
            LogPrintf("ResizeUcharMask copy succeeded");
        }
        return;
    }
    if (!HasPixels(g)) return;
    TableStorage tables(g);
    BuildResizeTables(tables.view.indices, tables.view.weights, &g, 1);
    // InterpolateFour groups (m_vectorWidth columns each), a last, partial
    // group column by column; on AVX2 processors a kernel of the same
    // arithmetic, 32 columns per step.
    if (vidra::CpuHasAvx2()) {
        kernels::avx2::ResizeMask(tables.view.indices, tables.view.weights, g.dstWidth, g.dstHeight,
                                  src, g.srcWidth, dst);
    } else {
        kernels::ResizeMaskSse(tables.view, src, dst, g.srcWidth);
    }
}

uint32_t RGBPROCESS::InterpolateFour(const ResizeTables& tables, const uint8_t* src, int32_t x,
                                     int32_t y, int32_t row0, int32_t row1) {
    return kernels::InterpolateFourSse(tables, src, x, y, row0, row1);
}

void RGBPROCESS::ResizeFloat(const float* src, float* dst, const ResizeGeometry* geometry) {
    if (geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (SameSize(g)) {
        const std::size_t bytes = PlaneBytes(g.srcWidth, g.srcHeight, sizeof(float));
        const int rc = BoundedCopy(dst, bytes, src, bytes);
        if (rc != kCopyOk) LogPrintf("ResizeFloat failed, copy failed %d", rc);
        return;
    }
    if (src == nullptr || dst == nullptr || !HasPixels(g)) return;
    const kernels::FloatAxis cols = kernels::MakeFloatAxis(g.srcWidth, g.dstWidth);
    const kernels::FloatAxis rows = kernels::MakeFloatAxis(g.srcHeight, g.dstHeight);
    const bool avx2 = vidra::CpuHasAvx2();
    for (int32_t y = 0; y < g.dstHeight; ++y) {
        const kernels::FloatRow row = kernels::MakeFloatRow(src, g.srcWidth, rows, y);
        float* out = dst + static_cast<std::ptrdiff_t>(y) * g.dstWidth;
        if (avx2) {
            const int32_t done = kernels::avx2::FloatRow(row.src0, row.src1, row.ay, row.oneMinusAy,
                                                         cols.scale, cols.maxIndex, cols.next,
                                                         g.dstWidth, out);
            kernels::FloatRowScalar(row, cols, done, g.dstWidth, out);
        } else {
            kernels::FloatRowSse(row, cols, g.dstWidth, out);
        }
    }
}

}  // namespace rgbproc
