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
}

}  // namespace resampling
}  // namespace vidra
