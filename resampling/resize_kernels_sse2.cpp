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

void ResizeMask(const ResizeTableView& t, const uint8_t* src, int32_t srcWidth, uint8_t* dst) {
    for (int32_t y = 0; y < t.dstHeight; ++y) {
        const uint8_t* s0 = src + MulWrap(t.y0[y], srcWidth);
        const uint8_t* s1 = src + MulWrap(t.y1[y], srcWidth);
        uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * t.dstWidth;
        const __m128 wy0 = _mm_set1_ps(t.wy0[y]);
        const __m128 wy1 = _mm_set1_ps(t.wy1[y]);
        int32_t x = 0;
        for (; x + 4 <= t.dstWidth; x += 4) {
            const __m128 p00 = GatherBytes(s0, t.x0 + x);
            const __m128 p10 = GatherBytes(s0, t.x1 + x);
            const __m128 p01 = GatherBytes(s1, t.x0 + x);
            const __m128 p11 = GatherBytes(s1, t.x1 + x);
            const __m128 wx0 = _mm_loadu_ps(t.wx0 + x);
            const __m128 a = _mm_mul_ps(wy0, wx0);
            const __m128 b = _mm_sub_ps(wx0, a);
            const __m128 c = _mm_sub_ps(wy0, a);
            const __m128 d = _mm_sub_ps(wy1, b);
            const __m128 v = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(p10, c), _mm_mul_ps(p00, a)), _mm_mul_ps(p01, b)),
                _mm_mul_ps(p11, d));
            const uint32_t four = PackBytes(_mm_cvtps_epi32(v));
            std::memcpy(out + x, &four, sizeof four);
        }
        MaskColumnsScalar(t, s0, s1, y, x, t.dstWidth, out);
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
