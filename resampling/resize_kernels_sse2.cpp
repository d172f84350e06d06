// SSE2 twins of the scalar resize kernels (baseline x86-64): four columns
// per step with the scalar arithmetic, operation for operation; the scalar
// kernels finish each row.
#include <emmintrin.h>

#include <cstddef>
#include <cstring>

#include "resampling/resize_kernels.h"

namespace vidra {
namespace resampling {
namespace sse2 {
namespace {

inline int32_t MulWrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
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

void ChannelRow(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                int32_t step, uint8_t* dstRow) {
    const __m128 wy0 = _mm_set1_ps(t.wy0[y]);
    const __m128 wy1 = _mm_set1_ps(t.wy1[y]);
    const __m128 half = _mm_set1_ps(0.5f);
    int32_t x = 0;
    for (; x + 4 <= t.dstWidth; x += 4) {
        const __m128 p00 = GatherBytes(src0, t.x0 + x);
        const __m128 p10 = GatherBytes(src0, t.x1 + x);
        const __m128 p01 = GatherBytes(src1, t.x0 + x);
        const __m128 p11 = GatherBytes(src1, t.x1 + x);
        const __m128 wa = _mm_loadu_ps(t.wx0 + x);
        const __m128 wb = _mm_loadu_ps(t.wx1 + x);
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
    ChannelColumnsScalar(src0, src1, t, y, step, x, t.dstWidth, dstRow);
}

// Columns whose dword loads stay within the bytes the scalar kernel reads: a
// load at index i reads bytes i .. i + 3, the scalar kernel up to the last
// column's x1 + 2 (indices never decrease).
int32_t DwordColumns(const ResizeTableView& t) {
    int32_t n = t.dstWidth;
    const int32_t limit = t.x1[n - 1] - 1;
    while (n > 0 && t.x1[n - 1] > limit) --n;
    return n;
}

inline uint32_t Dword(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline __m128i Dwords(const uint8_t* base, const int32_t* at) {
    return _mm_setr_epi32(static_cast<int32_t>(Dword(base + at[0])), static_cast<int32_t>(Dword(base + at[1])),
                          static_cast<int32_t>(Dword(base + at[2])), static_cast<int32_t>(Dword(base + at[3])));
}

inline __m128 Channel(__m128i dwords, int32_t byte) {
    return _mm_cvtepi32_ps(_mm_and_si128(_mm_srl_epi32(dwords, _mm_cvtsi32_si128(8 * byte)), _mm_set1_epi32(0xFF)));
}

// Four columns per step: each pixel's bytes by one dword load per sample.
void PixelRow(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y, int32_t step,
              bool swapRedBlue, uint8_t* dstRow) {
    const __m128 wy0 = _mm_set1_ps(t.wy0[y]);
    const __m128 wy1 = _mm_set1_ps(t.wy1[y]);
    const __m128 half = _mm_set1_ps(0.5f);
    const int32_t end = t.dstWidth > 0 ? DwordColumns(t) : 0;
    int32_t x = 0;
    for (; x + 4 <= end; x += 4) {
        const __m128i d00 = Dwords(src0, t.x0 + x);
        const __m128i d10 = Dwords(src0, t.x1 + x);
        const __m128i d01 = Dwords(src1, t.x0 + x);
        const __m128i d11 = Dwords(src1, t.x1 + x);
        const __m128 wa = _mm_loadu_ps(t.wx0 + x);
        const __m128 wb = _mm_loadu_ps(t.wx1 + x);
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(x) * step;
        for (int32_t c = 0; c < 3; ++c) {
            const int32_t from = swapRedBlue ? 2 - c : c;
            __m128 v = _mm_mul_ps(_mm_mul_ps(Channel(d00, from), wa), wy0);
            v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(Channel(d10, from), wb), wy0));
            v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(Channel(d01, from), wa), wy1));
            v = _mm_add_ps(v, _mm_mul_ps(Channel(d11, from), _mm_mul_ps(wb, wy1)));
            const uint32_t bytes = PackBytes(_mm_cvttps_epi32(_mm_add_ps(v, half)));
            out[c] = static_cast<uint8_t>(bytes);
            out[step + c] = static_cast<uint8_t>(bytes >> 8);
            out[2 * step + c] = static_cast<uint8_t>(bytes >> 16);
            out[3 * step + c] = static_cast<uint8_t>(bytes >> 24);
        }
    }
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t from = swapRedBlue ? 2 - c : c;
        ChannelColumnsScalar(src0 + from, src1 + from, t, y, step, x, t.dstWidth, dstRow + c);
    }
}

// Destination columns per chunk: the expanded source rows of a chunk live on
// the stack.
constexpr int32_t kChunk = 512;

// One source row at the chunk's columns, k < n: the samples lower[k] =
// s[x0[k]] and upper[k] = s[x1[k]] as bytes and as floats.
struct ExpandedRow {
    alignas(16) float lower[kChunk];
    alignas(16) float upper[kChunk];
    alignas(16) uint8_t lowerBytes[kChunk];
    alignas(16) uint8_t upperBytes[kChunk];
};

void ExpandRow(const uint8_t* s, const int32_t* x0, const int32_t* x1, int32_t n, ExpandedRow& row) {
    for (int32_t k = 0; k < n; ++k) {
        const uint8_t lo = s[x0[k]];
        const uint8_t hi = s[x1[k]];
        row.lowerBytes[k] = lo;
        row.upperBytes[k] = hi;
        row.lower[k] = lo;
        row.upper[k] = hi;
    }
}

// Blocks of 16 columns of one row pair where each column's four samples are
// one value P (flat mask areas: most of a person mask). With every weight
// within +-kFlatWeightLimit the four products and three sums of the mask
// formula stray from P by less than 0.01 (the weights a + b + c + d sum to
// wy0 + wy1 = 1 up to a few rounding steps), so the rounded result is P
// itself: such a block's bytes are the samples.
constexpr float kFlatWeightLimit = 4.0f;

bool WeightsWithin(const float* w, int32_t count, float limit) {
    for (int32_t i = 0; i < count; ++i) {
        if (!(w[i] >= -limit && w[i] <= limit)) return false;
    }
    return true;
}

inline __m128i Load16(const uint8_t* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

void FindFlatBlocks(const ExpandedRow& r0, const ExpandedRow& r1, int32_t n, bool* flat) {
    for (int32_t k = 0; k + 16 <= n; k += 16) {
        const __m128i v = Load16(r0.lowerBytes + k);
        const __m128i same =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(v, Load16(r0.upperBytes + k)),
                                        _mm_cmpeq_epi8(v, Load16(r1.lowerBytes + k))),
                          _mm_cmpeq_epi8(v, Load16(r1.upperBytes + k)));
        flat[k / 16] = _mm_movemask_epi8(same) == 0xFFFF;
    }
}

// Four destination values, rounded to int32 (nearest, ties to even):
// a = wy0 wx0, b = wx0 - a, c = wy0 - a, d = wy1 - b,
// v = ((p10 c + p00 a) + p01 b) + p11 d.
inline __m128i Interpolate4(const float* wx0, const float* p00, const float* p10, const float* p01,
                            const float* p11, __m128 wy0, __m128 wy1) {
    const __m128 w = _mm_loadu_ps(wx0);
    const __m128 a = _mm_mul_ps(wy0, w);
    const __m128 b = _mm_sub_ps(w, a);
    const __m128 c = _mm_sub_ps(wy0, a);
    const __m128 d = _mm_sub_ps(wy1, b);
    __m128 v = _mm_add_ps(_mm_mul_ps(_mm_load_ps(p10), c), _mm_mul_ps(_mm_load_ps(p00), a));
    v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(p01), b));
    v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(p11), d));
    return _mm_cvtps_epi32(v);
}

// The whole mask resize. Columns go in chunks of a few hundred: each source
// row is expanded once per chunk to the samples of every column, the rows of
// a row pair then need only the formula, 16 columns per step, and blocks
// where all four samples are one value (flat mask areas) are copied.
void ResizeMask(const ResizeTableView& t, const uint8_t* src, int32_t srcWidth, uint8_t* dst) {
    ExpandedRow rows[2];
    bool flat[kChunk / 16];
    const bool flatAllowed = WeightsWithin(t.wx0, t.dstWidth, kFlatWeightLimit) &&
                             WeightsWithin(t.wx1, t.dstWidth, kFlatWeightLimit) &&
                             WeightsWithin(t.wy0, t.dstHeight, kFlatWeightLimit) &&
                             WeightsWithin(t.wy1, t.dstHeight, kFlatWeightLimit);
    for (int32_t xBegin = 0; xBegin < t.dstWidth; xBegin += kChunk) {
        const int32_t n = t.dstWidth - xBegin < kChunk ? t.dstWidth - xBegin : kChunk;
        const int32_t* x0 = t.x0 + xBegin;
        const int32_t* x1 = t.x1 + xBegin;
        const float* wx0 = t.wx0 + xBegin;
        int32_t held[2] = {0, 0};
        bool valid[2] = {false, false};
        // The flat blocks of the row pair last searched.
        int32_t flatRow0 = 0, flatRow1 = 0;
        bool flatKnown = false;
        for (int32_t y = 0; y < t.dstHeight; ++y) {
            const int32_t row0 = MulWrap(t.y0[y], srcWidth);
            const int32_t row1 = MulWrap(t.y1[y], srcWidth);
            int32_t s0 = valid[0] && held[0] == row0 ? 0 : (valid[1] && held[1] == row0 ? 1 : -1);
            if (s0 < 0) {
                s0 = valid[0] && held[0] == row1 ? 1 : 0;
                ExpandRow(src + row0, x0, x1, n, rows[s0]);
                held[s0] = row0;
                valid[s0] = true;
            }
            int32_t s1 = s0;
            if (row1 != row0) {
                s1 = 1 - s0;
                if (!valid[s1] || held[s1] != row1) {
                    ExpandRow(src + row1, x0, x1, n, rows[s1]);
                    held[s1] = row1;
                    valid[s1] = true;
                }
            }
            if (flatAllowed && !(flatKnown && flatRow0 == row0 && flatRow1 == row1)) {
                FindFlatBlocks(rows[s0], rows[s1], n, flat);
                flatRow0 = row0;
                flatRow1 = row1;
                flatKnown = true;
            }
            const float* p00 = rows[s0].lower;
            const float* p10 = rows[s0].upper;
            const float* p01 = rows[s1].lower;
            const float* p11 = rows[s1].upper;
            const __m128 vy0 = _mm_set1_ps(t.wy0[y]);
            const __m128 vy1 = _mm_set1_ps(t.wy1[y]);
            uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * t.dstWidth + xBegin;
            int32_t k = 0;
            // Saturating packs clamp to 0..255; the conversion's INT32_MIN
            // for NaN or overflow gives 0, as in the scalar kernel.
            for (; k + 16 <= n; k += 16) {
                if (flatAllowed && flat[k / 16]) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), Load16(rows[s0].lowerBytes + k));
                    continue;
                }
                const __m128i i0 = Interpolate4(wx0 + k, p00 + k, p10 + k, p01 + k, p11 + k, vy0, vy1);
                const __m128i i1 = Interpolate4(wx0 + k + 4, p00 + k + 4, p10 + k + 4, p01 + k + 4, p11 + k + 4, vy0, vy1);
                const __m128i i2 = Interpolate4(wx0 + k + 8, p00 + k + 8, p10 + k + 8, p01 + k + 8, p11 + k + 8, vy0, vy1);
                const __m128i i3 = Interpolate4(wx0 + k + 12, p00 + k + 12, p10 + k + 12, p01 + k + 12, p11 + k + 12, vy0, vy1);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                                 _mm_packus_epi16(_mm_packs_epi32(i0, i1), _mm_packs_epi32(i2, i3)));
            }
            for (; k + 4 <= n; k += 4) {
                const uint32_t four = PackBytes(Interpolate4(wx0 + k, p00 + k, p10 + k, p01 + k, p11 + k, vy0, vy1));
                std::memcpy(out + k, &four, sizeof four);
            }
            for (; k < n; ++k) {
                const float a = t.wy0[y] * wx0[k];
                const float b = wx0[k] - a;
                const float c = t.wy0[y] - a;
                const float d = t.wy1[y] - b;
                const int32_t v = _mm_cvtss_si32(_mm_set_ss(((p10[k] * c + p00[k] * a) + p01[k] * b) + p11[k] * d));
                out[k] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    }
}

void FloatRowKernel(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow) {
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
    FloatColumnsScalar(row, cols, x, dstWidth, dstRow);
}

}  // namespace
}  // namespace sse2

void FillResizeKernelsSse2(ResizeKernels& k) {
    k.channelRow = sse2::ChannelRow;
    k.pixelRow = sse2::PixelRow;
    k.resizeMask = sse2::ResizeMask;
    k.floatRow = sse2::FloatRowKernel;
}

}  // namespace resampling
}  // namespace vidra
