// AVX-512 twins of the resize kernels, reached only through the table when
// the processor has AVX-512 (F, BW, DQ, VL). The arithmetic of each kernel
// is that of its scalar twin in resize_kernels.cpp, operation for operation.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "resampling/resize_kernels.h"

namespace vidra {
namespace resampling {
namespace avx512 {
namespace {

// Columns whose samples the dword gathers may read: a gather at index i reads
// bytes i .. i + 3, which must not pass the last byte the scalar kernel reads
// (x1 of the last column; indices never decrease).
int32_t GatherableColumns(const ResizeTableView& t) {
    int32_t n = t.dstWidth;
    const int32_t limit = t.x1[n - 1] - 3;
    while (n > 0 && t.x1[n - 1] > limit) --n;
    return n;
}

inline __m512 GatherBytes(const void* base, __m512i index) {
    const __m512i dwords = _mm512_i32gather_epi32(index, base, 1);
    return _mm512_cvtepi32_ps(_mm512_and_si512(dwords, _mm512_set1_epi32(0xFF)));
}

inline __m512 Channel(__m512i dwords, int32_t byte) {
    return _mm512_cvtepi32_ps(
        _mm512_and_si512(_mm512_srl_epi32(dwords, _mm_cvtsi32_si128(8 * byte)), _mm512_set1_epi32(0xFF)));
}

inline void StoreTwelve(uint8_t* p, __m128i lane) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), lane);
    const int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(lane, 8));
    __builtin_memcpy(p + 8, &tail, 4);
}

// Sixteen columns per step: each pixel's bytes by one dword gather per
// sample; the three channels packed into pixels and stored together.
void PixelRow(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y, int32_t step,
              bool swapRedBlue, uint8_t* dstRow) {
    const __m512 wy0 = _mm512_set1_ps(t.wy0[y]);
    const __m512 wy1 = _mm512_set1_ps(t.wy1[y]);
    const __m512 half = _mm512_set1_ps(0.5f);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i c255 = _mm512_set1_epi32(255);
    const __m512i compact = _mm512_broadcast_i32x4(
        _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    // Dword reads end at the last column's x1 + 3, one past the scalar reads.
    int32_t end = t.dstWidth;
    while (end > 0 && t.x1[end - 1] > t.x1[t.dstWidth - 1] - 1) --end;
    int32_t x = 0;
    for (; x + 16 <= end; x += 16) {
        const __m512i i0 = _mm512_loadu_si512(t.x0 + x);
        const __m512i i1 = _mm512_loadu_si512(t.x1 + x);
        const __m512i d00 = _mm512_i32gather_epi32(i0, src0, 1);
        const __m512i d10 = _mm512_i32gather_epi32(i1, src0, 1);
        const __m512i d01 = _mm512_i32gather_epi32(i0, src1, 1);
        const __m512i d11 = _mm512_i32gather_epi32(i1, src1, 1);
        const __m512 wa = _mm512_loadu_ps(t.wx0 + x);
        const __m512 wb = _mm512_loadu_ps(t.wx1 + x);
        __m512i px = zero;
        for (int32_t c = 0; c < 3; ++c) {
            const int32_t from = swapRedBlue ? 2 - c : c;
            __m512 v = _mm512_mul_ps(_mm512_mul_ps(Channel(d00, from), wa), wy0);
            v = _mm512_add_ps(v, _mm512_mul_ps(_mm512_mul_ps(Channel(d10, from), wb), wy0));
            v = _mm512_add_ps(v, _mm512_mul_ps(_mm512_mul_ps(Channel(d01, from), wa), wy1));
            v = _mm512_add_ps(v, _mm512_mul_ps(Channel(d11, from), _mm512_mul_ps(wb, wy1)));
            const __m512i q = _mm512_min_epi32(
                _mm512_max_epi32(_mm512_cvttps_epi32(_mm512_add_ps(v, half)), zero), c255);
            px = _mm512_or_si512(px, _mm512_sll_epi32(q, _mm_cvtsi32_si128(8 * c)));
        }
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(x) * step;
        if (step == 4) {
            // Bytes 0..2 of each pixel; the fourth stays.
            _mm512_mask_storeu_epi8(out, 0x7777777777777777ull, px);
        } else {
            const __m512i packed = _mm512_shuffle_epi8(px, compact);
            StoreTwelve(out, _mm512_castsi512_si128(packed));
            StoreTwelve(out + 12, _mm512_extracti32x4_epi32(packed, 1));
            StoreTwelve(out + 24, _mm512_extracti32x4_epi32(packed, 2));
            StoreTwelve(out + 36, _mm512_extracti32x4_epi32(packed, 3));
        }
    }
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t from = swapRedBlue ? 2 - c : c;
        ChannelColumnsScalar(src0 + from, src1 + from, t, y, step, x, t.dstWidth, dstRow + c);
    }
}

// Sixteen columns per step, samples by dword gathers.
void ChannelRow(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                int32_t step, uint8_t* dstRow) {
    const __m512 wy0 = _mm512_set1_ps(t.wy0[y]);
    const __m512 wy1 = _mm512_set1_ps(t.wy1[y]);
    const __m512 half = _mm512_set1_ps(0.5f);
    const __m512i zero = _mm512_setzero_si512();
    const int32_t end = t.dstWidth > 0 ? GatherableColumns(t) : 0;
    int32_t x = 0;
    for (; x + 16 <= end; x += 16) {
        const __m512i i0 = _mm512_loadu_si512(t.x0 + x);
        const __m512i i1 = _mm512_loadu_si512(t.x1 + x);
        const __m512 p00 = GatherBytes(src0, i0);
        const __m512 p10 = GatherBytes(src0, i1);
        const __m512 p01 = GatherBytes(src1, i0);
        const __m512 p11 = GatherBytes(src1, i1);
        const __m512 wa = _mm512_loadu_ps(t.wx0 + x);
        const __m512 wb = _mm512_loadu_ps(t.wx1 + x);
        __m512 v = _mm512_mul_ps(_mm512_mul_ps(p00, wa), wy0);
        v = _mm512_add_ps(v, _mm512_mul_ps(_mm512_mul_ps(p10, wb), wy0));
        v = _mm512_add_ps(v, _mm512_mul_ps(_mm512_mul_ps(p01, wa), wy1));
        v = _mm512_add_ps(v, _mm512_mul_ps(p11, _mm512_mul_ps(wb, wy1)));
        // Negative values (INT32_MIN included) give 0, larger than 255 give 255.
        const __m512i q = _mm512_max_epi32(_mm512_cvttps_epi32(_mm512_add_ps(v, half)), zero);
        const __m128i bytes = _mm512_cvtusepi32_epi8(q);
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(x) * step;
        if (step == 1) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
        } else {
            alignas(16) uint8_t b[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(b), bytes);
            for (int32_t k = 0; k < 16; ++k) out[k * step] = b[k];
        }
    }
    ChannelColumnsScalar(src0, src1, t, y, step, x, t.dstWidth, dstRow);
}

}  // namespace
}  // namespace avx512

void FillResizeKernelsAvx512(ResizeKernels& k) {
    k.channelRow = avx512::ChannelRow;
    k.pixelRow = avx512::PixelRow;
}

}  // namespace resampling
}  // namespace vidra
