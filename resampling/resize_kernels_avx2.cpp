// AVX2 kernels of the resize routines. Everything here lives in namespace
// avx2 and runs only behind vidra::CpuHasAvx2(); the arithmetic of each
// kernel is that of its scalar twin in resize_kernels.cpp, operation for
// operation, so both give identical bits.
#include "resampling/resize_kernels_avx2.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace rgbproc {
namespace kernels {
namespace avx2 {

namespace {

inline int32_t MulWrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Nearest integer, ties to even, clamped to a byte (INT32_MIN for NaN gives 0).
inline uint8_t RoundToByte(float v) {
    const int32_t i = _mm_cvtss_si32(_mm_set_ss(v));
    return static_cast<uint8_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
}

inline __m128 GatherBytes(const uint8_t* base, const int32_t* offsets) {
    return _mm_cvtepi32_ps(
        _mm_setr_epi32(base[offsets[0]], base[offsets[1]], base[offsets[2]], base[offsets[3]]));
}

// Columns x .. x+3 of the mask resize, the four bytes in column order.
inline uint32_t InterpolateFour(const int32_t* x0, const int32_t* x1, const float* wx0, float wy0,
                                float wy1, const uint8_t* s0, const uint8_t* s1, int32_t x) {
    const __m128 p00 = GatherBytes(s0, x0 + x);
    const __m128 p10 = GatherBytes(s0, x1 + x);
    const __m128 p01 = GatherBytes(s1, x0 + x);
    const __m128 p11 = GatherBytes(s1, x1 + x);
    const __m128 w = _mm_loadu_ps(wx0 + x);
    const __m128 vy0 = _mm_set1_ps(wy0);
    const __m128 a = _mm_mul_ps(vy0, w);
    const __m128 b = _mm_sub_ps(w, a);
    const __m128 c = _mm_sub_ps(vy0, a);
    const __m128 d = _mm_sub_ps(_mm_set1_ps(wy1), b);
    const __m128 v = _mm_add_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(p10, c), _mm_mul_ps(p00, a)), _mm_mul_ps(p01, b)),
        _mm_mul_ps(p11, d));
    const __m128i q = _mm_cvtps_epi32(v);
    const __m128i words = _mm_packs_epi32(q, q);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

inline uint8_t InterpolateOne(const int32_t* x0, const int32_t* x1, const float* wx0, float wy0,
                              float wy1, const uint8_t* s0, const uint8_t* s1, int32_t x) {
    const float a = wy0 * wx0[x];
    const float b = wx0[x] - a;
    const float c = wy0 - a;
    const float d = wy1 - b;
    const float p00 = s0[x0[x]];
    const float p10 = s0[x1[x]];
    const float p01 = s1[x0[x]];
    const float p11 = s1[x1[x]];
    return RoundToByte(((p10 * c + p00 * a) + p01 * b) + p11 * d);
}

}  // namespace

int32_t BuildAxis(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
                  float* w1) {
    if (D < 16) return 0;
    const __m256 s = _mm256_set1_ps(static_cast<float>(S - 1) / static_cast<float>(D - 1));
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i last = _mm256_set1_epi32(S - 1);
    const __m256i steps = _mm256_set1_epi32(step);
    const __m256i eight = _mm256_set1_epi32(8);
    __m256i pos = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    int32_t i = 0;
    for (; i + 16 <= D; i += 16) {
        for (int32_t h = 0; h < 16; h += 8) {
            const __m256 f =
                _mm256_sub_ps(_mm256_mul_ps(_mm256_add_ps(_mm256_cvtepi32_ps(pos), half), s), half);
            const __m256i lower =
                _mm256_min_epi32(_mm256_max_epi32(_mm256_cvttps_epi32(f), zero), last);
            const __m256i upper = _mm256_min_epi32(
                _mm256_max_epi32(_mm256_cvttps_epi32(_mm256_add_ps(f, one)), zero), last);
            const __m256 wUpper = _mm256_sub_ps(f, _mm256_cvtepi32_ps(lower));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(i0 + i + h),
                                _mm256_mullo_epi32(lower, steps));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(i1 + i + h),
                                _mm256_mullo_epi32(upper, steps));
            _mm256_storeu_ps(w0 + i + h, _mm256_sub_ps(one, wUpper));
            _mm256_storeu_ps(w1 + i + h, wUpper);
            pos = _mm256_add_epi32(pos, eight);
        }
    }
    return i;
}

void ResizeMask(const int32_t* indices, const float* weights, int32_t dstWidth,
                int32_t dstHeight, const uint8_t* src, int32_t srcWidth, uint8_t* dst) {
    const int32_t* x0 = indices;
    const int32_t* x1 = indices + dstWidth;
    const int32_t* y0 = indices + 2 * dstWidth;
    const int32_t* y1 = y0 + dstHeight;
    const float* wx0All = weights;
    const float* wy0 = weights + 2 * dstWidth;
    const float* wy1 = wy0 + dstHeight;
    // Four rows of converted source values live on the stack: no allocation.
    constexpr int32_t kChunk = 256;
    alignas(32) float p00[kChunk];
    alignas(32) float p10[kChunk];
    alignas(32) float p01[kChunk];
    alignas(32) float p11[kChunk];
    for (int32_t xBegin = 0; xBegin < dstWidth; xBegin += kChunk) {
        const int32_t n = dstWidth - xBegin < kChunk ? dstWidth - xBegin : kChunk;
        const float* wx0 = wx0All + xBegin;
        int32_t cached0 = 0;
        int32_t cached1 = 0;
        bool cached = false;
        for (int32_t y = 0; y < dstHeight; ++y) {
            const int32_t row0 = MulWrap(y0[y], srcWidth);
            const int32_t row1 = MulWrap(y1[y], srcWidth);
            const uint8_t* s0 = src + row0;
            const uint8_t* s1 = src + row1;
            if (!cached || row0 != cached0 || row1 != cached1) {
                for (int32_t k = 0; k < n; ++k) {
                    p00[k] = s0[x0[xBegin + k]];
                    p10[k] = s0[x1[xBegin + k]];
                    p01[k] = s1[x0[xBegin + k]];
                    p11[k] = s1[x1[xBegin + k]];
                }
                cached0 = row0;
                cached1 = row1;
                cached = true;
            }
            const __m256 vy0 = _mm256_set1_ps(wy0[y]);
            const __m256 vy1 = _mm256_set1_ps(wy1[y]);
            uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstWidth + xBegin;
            int32_t k = 0;
            for (; k + 8 <= n; k += 8) {
                const __m256 w = _mm256_loadu_ps(wx0 + k);
                const __m256 a = _mm256_mul_ps(vy0, w);
                const __m256 b = _mm256_sub_ps(w, a);
                const __m256 c = _mm256_sub_ps(vy0, a);
                const __m256 d = _mm256_sub_ps(vy1, b);
                __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_load_ps(p10 + k), c),
                                         _mm256_mul_ps(_mm256_load_ps(p00 + k), a));
                v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_load_ps(p01 + k), b));
                v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_load_ps(p11 + k), d));
                // Nearest, ties to even; the saturating packs clamp to 0..255
                // (the conversion's INT32_MIN for NaN or overflow gives 0, as
                // in the scalar kernel).
                const __m256i i = _mm256_cvtps_epi32(v);
                const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(i),
                                                       _mm256_extracti128_si256(i, 1));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k),
                                 _mm_packus_epi16(words, words));
            }
            // The remainder: one more group of four if it fits, then single columns.
            if (k + 4 <= n) {
                const uint32_t four =
                    InterpolateFour(x0, x1, wx0All, wy0[y], wy1[y], s0, s1, xBegin + k);
                for (int32_t b = 0; b < 4; ++b) out[k + b] = static_cast<uint8_t>(four >> (8 * b));
                k += 4;
            }
            for (; k < n; ++k)
                out[k] = InterpolateOne(x0, x1, wx0All, wy0[y], wy1[y], s0, s1, xBegin + k);
        }
    }
}

int32_t FloatRow(const float* src0, const float* src1, float ay, float oneMinusAy, float scale,
                 int32_t maxIndex, int32_t next, int32_t dstWidth, float* dstRow) {
    const __m256 vay = _mm256_set1_ps(ay);
    const __m256 oy = _mm256_set1_ps(oneMinusAy);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 vscale = _mm256_set1_ps(scale);
    const __m256i vmax = _mm256_set1_epi32(maxIndex);
    const __m256i eight = _mm256_set1_epi32(8);
    const float* s0next = src0 + next;
    const float* s1next = src1 + next;
    __m256i pos = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    int32_t x = 0;
    for (; x + 8 <= dstWidth; x += 8) {
        const __m256 fx = _mm256_mul_ps(_mm256_cvtepi32_ps(pos), vscale);
        const __m256i xi = _mm256_min_epi32(_mm256_cvttps_epi32(fx), vmax);
        const __m256 ax = _mm256_sub_ps(fx, _mm256_cvtepi32_ps(xi));
        const __m256 ox = _mm256_sub_ps(one, ax);
        const __m256 p00 = _mm256_i32gather_ps(src0, xi, 4);
        const __m256 p10 = _mm256_i32gather_ps(s0next, xi, 4);
        const __m256 p01 = _mm256_i32gather_ps(src1, xi, 4);
        const __m256 p11 = _mm256_i32gather_ps(s1next, xi, 4);
        __m256 v = _mm256_mul_ps(_mm256_mul_ps(ax, p10), oy);
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(ox, p00), oy));
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(vay, p01), ox));
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(ax, vay), p11));
        _mm256_storeu_ps(dstRow + x, v);
        pos = _mm256_add_epi32(pos, eight);
    }
    return x;
}

}  // namespace avx2
}  // namespace kernels
}  // namespace rgbproc
