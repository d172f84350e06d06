// The scalar resize kernels (the definition of every result) and the table.
#include "resampling/resize_kernels.h"

#include <emmintrin.h>

#include <cstddef>

#include "common/dispatch.h"

namespace vidra {
namespace resampling {

namespace {

// Index products wrap as 32-bit integers, as the tables store them.
inline int32_t MulWrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

inline int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

inline uint8_t ClampByte(int32_t v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Nearest integer, ties to even (the default MXCSR mode), as the vector
// conversions; out-of-range values and NaN give INT32_MIN.
inline int32_t RoundToInt32(float v) {
    return _mm_cvtss_si32(_mm_set_ss(v));
}

inline float AxisScale(int32_t S, int32_t D) {
    return static_cast<float>(S - 1) / static_cast<float>(D - 1);
}

}  // namespace

ResizeTableView ViewTables(const int32_t* indices, const float* weights, int32_t dstWidth,
                           int32_t dstHeight) {
    ResizeTableView t;
    t.x0 = indices;
    t.x1 = indices + dstWidth;
    t.y0 = indices + 2 * static_cast<std::ptrdiff_t>(dstWidth);
    t.y1 = t.y0 + dstHeight;
    t.wx0 = weights;
    t.wx1 = weights + dstWidth;
    t.wy0 = weights + 2 * static_cast<std::ptrdiff_t>(dstWidth);
    t.wy1 = t.wy0 + dstHeight;
    t.dstWidth = dstWidth;
    t.dstHeight = dstHeight;
    return t;
}

int32_t TruncToInt32(float value) {
    return _mm_cvttss_si32(_mm_set_ss(value));
}

void BuildAxisRangeScalar(int32_t S, int32_t D, int32_t step, int32_t begin, int32_t* i0,
                          int32_t* i1, float* w0, float* w1) {
    if (D == 1) {
        if (begin == 0) {
            i0[0] = 0;
            i1[0] = 0;
            w0[0] = 1.0f;
            w1[0] = 0.0f;
        }
        return;
    }
    const float s = AxisScale(S, D);
    const int32_t last = S - 1;
    for (int32_t i = begin; i < D; ++i) {
        const float f = (static_cast<float>(i) + 0.5f) * s - 0.5f;
        const int32_t lower = Clamp(TruncToInt32(f), 0, last);
        const int32_t upper = Clamp(TruncToInt32(f + 1.0f), 0, last);
        const float wUpper = f - static_cast<float>(lower);
        i0[i] = MulWrap(lower, step);
        i1[i] = MulWrap(upper, step);
        w0[i] = 1.0f - wUpper;
        w1[i] = wUpper;
    }
}

void BuildAxisScalar(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
                     float* w1) {
    BuildAxisRangeScalar(S, D, step, 0, i0, i1, w0, w1);
}

void ChannelColumnsScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t,
                          int32_t y, int32_t step, int32_t xBegin, int32_t xEnd, uint8_t* dstRow) {
    const float wy0 = t.wy0[y];
    const float wy1 = t.wy1[y];
    for (int32_t x = xBegin; x < xEnd; ++x) {
        const float p00 = src0[t.x0[x]];
        const float p10 = src0[t.x1[x]];
        const float p01 = src1[t.x0[x]];
        const float p11 = src1[t.x1[x]];
        const float v = (p00 * t.wx0[x]) * wy0 + (p10 * t.wx1[x]) * wy0 + (p01 * t.wx0[x]) * wy1 +
                        p11 * (t.wx1[x] * wy1);
        // At the borders both indices are equal and the weights, one of them
        // negative, sum to 1: v is the border pixel up to rounding, which
        // stays far below 0.5 unless a downscale by tens of thousands makes
        // the weights that large. Only there can v + 0.5 reach 256 (or fall
        // below 0); the clamp then keeps 255 (0) instead of wrapping.
        dstRow[static_cast<std::ptrdiff_t>(x) * step] = ClampByte(TruncToInt32(v + 0.5f));
    }
}

void ChannelRowScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                      int32_t step, uint8_t* dstRow) {
    ChannelColumnsScalar(src0, src1, t, y, step, 0, t.dstWidth, dstRow);
}

void PixelRowScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                    int32_t step, bool swapRedBlue, uint8_t* dstRow) {
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t from = swapRedBlue ? 2 - c : c;
        ChannelColumnsScalar(src0 + from, src1 + from, t, y, step, 0, t.dstWidth, dstRow + c);
    }
}

void MaskColumnsScalar(const ResizeTableView& t, const uint8_t* src0, const uint8_t* src1, int32_t y,
                       int32_t xBegin, int32_t xEnd, uint8_t* dstRow) {
    const float wy0 = t.wy0[y];
    const float wy1 = t.wy1[y];
    for (int32_t x = xBegin; x < xEnd; ++x) {
        const float wx0 = t.wx0[x];
        const float a = wy0 * wx0;
        const float b = wx0 - a;
        const float c = wy0 - a;
        const float d = wy1 - b;
        const float p00 = src0[t.x0[x]];
        const float p10 = src0[t.x1[x]];
        const float p01 = src1[t.x0[x]];
        const float p11 = src1[t.x1[x]];
        const float v = ((p10 * c + p00 * a) + p01 * b) + p11 * d;
        dstRow[x] = ClampByte(RoundToInt32(v));
    }
}

void ResizeMaskScalar(const ResizeTableView& t, const uint8_t* src, int32_t srcWidth, uint8_t* dst) {
    for (int32_t y = 0; y < t.dstHeight; ++y) {
        const uint8_t* src0 = src + MulWrap(t.y0[y], srcWidth);
        const uint8_t* src1 = src + MulWrap(t.y1[y], srcWidth);
        MaskColumnsScalar(t, src0, src1, y, 0, t.dstWidth,
                          dst + static_cast<std::ptrdiff_t>(y) * t.dstWidth);
    }
}

FloatAxis MakeFloatAxis(int32_t S, int32_t D) {
    FloatAxis axis;
    // A single destination position samples the first source position; a
    // single source position is its own upper neighbour.
    axis.scale = D > 1 ? AxisScale(S, D) : 0.0f;
    axis.maxIndex = S >= 2 ? S - 2 : 0;
    axis.next = S >= 2 ? 1 : 0;
    return axis;
}

FloatRow MakeFloatRow(const float* src, int32_t srcWidth, const FloatAxis& rows, int32_t y) {
    const float fy = static_cast<float>(y) * rows.scale;
    int32_t yi = TruncToInt32(fy);
    if (yi > rows.maxIndex) yi = rows.maxIndex;
    FloatRow row;
    row.src0 = src + MulWrap(yi, srcWidth);
    row.src1 = row.src0 + MulWrap(rows.next, srcWidth);
    row.ay = fy - static_cast<float>(yi);
    row.oneMinusAy = 1.0f - row.ay;
    return row;
}

void FloatColumnsScalar(const FloatRow& row, const FloatAxis& cols, int32_t xBegin, int32_t xEnd,
                        float* dstRow) {
    const float ay = row.ay;
    const float oy = row.oneMinusAy;
    for (int32_t x = xBegin; x < xEnd; ++x) {
        const float fx = static_cast<float>(x) * cols.scale;
        int32_t xi = TruncToInt32(fx);
        if (xi > cols.maxIndex) xi = cols.maxIndex;
        const float ax = fx - static_cast<float>(xi);
        const float ox = 1.0f - ax;
        const float p00 = row.src0[xi];
        const float p10 = row.src0[xi + cols.next];
        const float p01 = row.src1[xi];
        const float p11 = row.src1[xi + cols.next];
        dstRow[x] = (ax * p10) * oy + (ox * p00) * oy + (ay * p01) * ox + (ax * ay) * p11;
    }
}

void FloatRowScalar(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow) {
    FloatColumnsScalar(row, cols, 0, dstWidth, dstRow);
}

void FillResizeKernels(ResizeKernels& k, CpuTier tier) {
    k.buildAxis = BuildAxisScalar;
    k.channelRow = ChannelRowScalar;
    k.pixelRow = PixelRowScalar;
    k.resizeMask = ResizeMaskScalar;
    k.floatRow = FloatRowScalar;
    if (tier >= CpuTier::kSse2) FillResizeKernelsSse2(k);
    if (tier >= CpuTier::kAvx2) FillResizeKernelsAvx2(k);
}

const ResizeKernels& ActiveResizeKernels() {
    return ActiveKernels<ResizeKernels, FillResizeKernels>();
}

}  // namespace resampling
}  // namespace vidra
