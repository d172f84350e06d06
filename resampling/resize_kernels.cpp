#include "resampling/resize_kernels.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstring>

namespace rgbproc {
namespace kernels {

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

// Nearest integer, ties to even (the default MXCSR mode), as _mm_cvtps_epi32.
inline int32_t RoundToInt32(float v) {
    return _mm_cvtss_si32(_mm_set_ss(v));
}

inline float AxisScale(int32_t S, int32_t D) {
    return static_cast<float>(S - 1) / static_cast<float>(D - 1);
}

// Low byte of each 32-bit lane clamped to 0..255, lanes in column order.
inline uint32_t PackBytes(__m128i q) {
    const __m128i words = _mm_packs_epi32(q, q);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

inline __m128 GatherBytes(const uint8_t* base, const int32_t* offsets) {
    return _mm_cvtepi32_ps(
        _mm_setr_epi32(base[offsets[0]], base[offsets[1]], base[offsets[2]], base[offsets[3]]));
}

}  // namespace

int32_t TruncToInt32(float value) {
    return _mm_cvttss_si32(_mm_set_ss(value));
}

void BuildAxisScalar(int32_t S, int32_t D, int32_t step, int32_t begin, int32_t* i0, int32_t* i1,
                     float* w0, float* w1) {
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

void BuildResizeTablesScalar(int32_t* indices, float* weights, const ResizeGeometry* g,
                             int32_t step) {
    const int32_t dw = g->dstWidth;
    const int32_t dh = g->dstHeight;
    BuildAxisScalar(g->srcWidth, dw, step, 0, indices, indices + dw, weights, weights + dw);
    BuildAxisScalar(g->srcHeight, dh, step, 0, indices + 2 * dw, indices + 2 * dw + dh,
                    weights + 2 * dw, weights + 2 * dw + dh);
}

void ChannelRowScalar(const uint8_t* src0, const uint8_t* src1, const ResizeTables& t, int32_t y,
                      int32_t step, int32_t xBegin, int32_t xEnd, uint8_t* dstRow) {
    const int32_t* x0 = t.x0();
    const int32_t* x1 = t.x1();
    const float* wx0 = t.wx0();
    const float* wx1 = t.wx1();
    const float wy0 = t.wy0()[y];
    const float wy1 = t.wy1()[y];
    for (int32_t x = xBegin; x < xEnd; ++x) {
        const float p00 = src0[x0[x]];
        const float p10 = src0[x1[x]];
        const float p01 = src1[x0[x]];
        const float p11 = src1[x1[x]];
        const float v = (p00 * wx0[x]) * wy0 + (p10 * wx1[x]) * wy0 + (p01 * wx0[x]) * wy1 +
                        p11 * (wx1[x] * wy1);
        // At the borders both indices are equal and the weights, one of them
        // negative, sum to 1: v is the border pixel up to rounding, which
        // stays far below 0.5 unless a downscale by tens of thousands makes
        // the weights that large. Only there can v + 0.5 reach 256 (or fall
        // below 0); the clamp then keeps 255 (0) instead of wrapping.
        dstRow[static_cast<std::ptrdiff_t>(x) * step] = ClampByte(TruncToInt32(v + 0.5f));
    }
}

void ChannelRowSse(const uint8_t* src0, const uint8_t* src1, const ResizeTables& t, int32_t y,
                   int32_t step, int32_t dstWidth, uint8_t* dstRow) {
    const int32_t* x0 = t.x0();
    const int32_t* x1 = t.x1();
    const __m128 wy0 = _mm_set1_ps(t.wy0()[y]);
    const __m128 wy1 = _mm_set1_ps(t.wy1()[y]);
    const __m128 half = _mm_set1_ps(0.5f);
    int32_t x = 0;
    for (; x + 4 <= dstWidth; x += 4) {
        const __m128 p00 = GatherBytes(src0, x0 + x);
        const __m128 p10 = GatherBytes(src0, x1 + x);
        const __m128 p01 = GatherBytes(src1, x0 + x);
        const __m128 p11 = GatherBytes(src1, x1 + x);
        const __m128 wa = _mm_loadu_ps(t.wx0() + x);
        const __m128 wb = _mm_loadu_ps(t.wx1() + x);
        __m128 v = _mm_mul_ps(_mm_mul_ps(p00, wa), wy0);
        v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(p10, wb), wy0));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(p01, wa), wy1));
        v = _mm_add_ps(v, _mm_mul_ps(p11, _mm_mul_ps(wb, wy1)));
        const uint32_t bytes = PackBytes(_mm_cvttps_epi32(_mm_add_ps(v, half)));
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(x) * step;
        out[0] = static_cast<uint8_t>(bytes);
        out[step] = static_cast<uint8_t>(bytes >> 8);
        out[2 * step] = static_cast<uint8_t>(bytes >> 16);
        out[3 * step] = static_cast<uint8_t>(bytes >> 24);
    }
    ChannelRowScalar(src0, src1, t, y, step, x, dstWidth, dstRow);
}

uint8_t InterpolateOne(const ResizeTables& t, const uint8_t* src, int32_t x, int32_t y,
                       int32_t row0, int32_t row1) {
    const float wy0 = t.wy0()[y];
    const float wy1 = t.wy1()[y];
    const float wx0 = t.wx0()[x];
    const float a = wy0 * wx0;
    const float b = wx0 - a;
    const float c = wy0 - a;
    const float d = wy1 - b;
    const float p00 = src[row0 + t.x0()[x]];
    const float p10 = src[row0 + t.x1()[x]];
    const float p01 = src[row1 + t.x0()[x]];
    const float p11 = src[row1 + t.x1()[x]];
    const float v = ((p10 * c + p00 * a) + p01 * b) + p11 * d;
    return ClampByte(RoundToInt32(v));
}

uint32_t InterpolateFourSse(const ResizeTables& t, const uint8_t* src, int32_t x, int32_t y,
                            int32_t row0, int32_t row1) {
    const uint8_t* s0 = src + row0;
    const uint8_t* s1 = src + row1;
    const __m128 p00 = GatherBytes(s0, t.x0() + x);
    const __m128 p10 = GatherBytes(s0, t.x1() + x);
    const __m128 p01 = GatherBytes(s1, t.x0() + x);
    const __m128 p11 = GatherBytes(s1, t.x1() + x);
    const __m128 wx0 = _mm_loadu_ps(t.wx0() + x);
    const __m128 wy0 = _mm_set1_ps(t.wy0()[y]);
    const __m128 wy1 = _mm_set1_ps(t.wy1()[y]);
    const __m128 a = _mm_mul_ps(wy0, wx0);
    const __m128 b = _mm_sub_ps(wx0, a);
    const __m128 c = _mm_sub_ps(wy0, a);
    const __m128 d = _mm_sub_ps(wy1, b);
    const __m128 v = _mm_add_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(p10, c), _mm_mul_ps(p00, a)), _mm_mul_ps(p01, b)),
        _mm_mul_ps(p11, d));
    return PackBytes(_mm_cvtps_epi32(v));
}

void ResizeMaskSse(const ResizeTables& t, const uint8_t* src, uint8_t* dst, int32_t srcWidth) {
    for (int32_t y = 0; y < t.dstHeight; ++y) {
        const int32_t row0 = MulWrap(t.y0()[y], srcWidth);
        const int32_t row1 = MulWrap(t.y1()[y], srcWidth);
        uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * t.dstWidth;
        int32_t x = 0;
        for (; x + 4 <= t.dstWidth; x += 4) {
            const uint32_t four = InterpolateFourSse(t, src, x, y, row0, row1);
            std::memcpy(out + x, &four, sizeof four);
        }
        for (; x < t.dstWidth; ++x) out[x] = InterpolateOne(t, src, x, y, row0, row1);
    }
}

void ResizeMaskScalar(const ResizeTables& t, const uint8_t* src, uint8_t* dst, int32_t srcWidth) {
    for (int32_t y = 0; y < t.dstHeight; ++y) {
        const int32_t row0 = MulWrap(t.y0()[y], srcWidth);
        const int32_t row1 = MulWrap(t.y1()[y], srcWidth);
        uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * t.dstWidth;
        for (int32_t x = 0; x < t.dstWidth; ++x) out[x] = InterpolateOne(t, src, x, y, row0, row1);
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

void FloatRowScalar(const FloatRow& row, const FloatAxis& cols, int32_t xBegin, int32_t xEnd,
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

void FloatRowSse(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow) {
    const __m128 ay = _mm_set1_ps(row.ay);
    const __m128 oy = _mm_set1_ps(row.oneMinusAy);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 scale = _mm_set1_ps(cols.scale);
    const __m128i maxIndex = _mm_set1_epi32(cols.maxIndex);
    const __m128i four = _mm_set1_epi32(4);
    const float* s0 = row.src0;
    const float* s1 = row.src1;
    const int32_t next = cols.next;
    __m128i pos = _mm_setr_epi32(0, 1, 2, 3);
    alignas(16) int32_t at[4];
    int32_t x = 0;
    for (; x + 4 <= dstWidth; x += 4) {
        const __m128 fx = _mm_mul_ps(_mm_cvtepi32_ps(pos), scale);
        // Signed minimum with the highest lower index, as the scalar kernel.
        const __m128i t = _mm_cvttps_epi32(fx);
        const __m128i over = _mm_cmpgt_epi32(t, maxIndex);
        const __m128i xi = _mm_or_si128(_mm_and_si128(over, maxIndex), _mm_andnot_si128(over, t));
        _mm_store_si128(reinterpret_cast<__m128i*>(at), xi);
        const __m128 ax = _mm_sub_ps(fx, _mm_cvtepi32_ps(xi));
        const __m128 ox = _mm_sub_ps(one, ax);
        const __m128 p00 = _mm_setr_ps(s0[at[0]], s0[at[1]], s0[at[2]], s0[at[3]]);
        const __m128 p10 = _mm_setr_ps(s0[at[0] + next], s0[at[1] + next], s0[at[2] + next], s0[at[3] + next]);
        const __m128 p01 = _mm_setr_ps(s1[at[0]], s1[at[1]], s1[at[2]], s1[at[3]]);
        const __m128 p11 = _mm_setr_ps(s1[at[0] + next], s1[at[1] + next], s1[at[2] + next], s1[at[3] + next]);
        __m128 v = _mm_mul_ps(_mm_mul_ps(ax, p10), oy);
        v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(ox, p00), oy));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(ay, p01), ox));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(ax, ay), p11));
        _mm_storeu_ps(dstRow + x, v);
        pos = _mm_add_epi32(pos, four);
    }
    FloatRowScalar(row, cols, x, dstWidth, dstRow);
}

}  // namespace kernels
}  // namespace rgbproc
