// AVX2 twin of the YUV conversion: eight pixels per step, samples by dword
// gathers, the BT.601 sums as exact 32-bit multiply-adds of 16-bit pairs.
#include <immintrin.h>

#include <cstddef>

#include "resampling/yuv_kernels.h"

namespace vidra {
namespace resampling {
namespace avx2 {
namespace {

// 16-bit pairs (a low, b high) per 32-bit lane.
inline __m256i Pair(__m256i a, __m256i b) {
    return _mm256_or_si256(_mm256_and_si256(a, _mm256_set1_epi32(0xFFFF)), _mm256_slli_epi32(b, 16));
}

inline __m256i Dot(__m256i pairs, int16_t ka, int16_t kb) {
    return _mm256_madd_epi16(pairs, _mm256_set1_epi32(static_cast<int32_t>(
                                        static_cast<uint16_t>(ka) | (static_cast<uint32_t>(static_cast<uint16_t>(kb)) << 16))));
}

inline __m256i Clamp8(__m256i sum) {
    return _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(sum, 8), _mm256_setzero_si256()),
                            _mm256_set1_epi32(255));
}

void GatherRow(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb) {
    // A gather reads four bytes from each index; blocks whose reads could pass
    // the last byte the scalar conversion reads are converted by it.
    int32_t maxCol = 0;
    for (int32_t i = 0; i < n; ++i) maxCol = cols[i] > maxCol ? cols[i] : maxCol;
    const __m256i lumaLimit = _mm256_set1_epi32(maxCol - 3);
    const __m256i chromaLimit = _mm256_set1_epi32((maxCol / 2) * row.chromaStep - 3);
    const __m256i step = _mm256_set1_epi32(row.chromaStep);
    const __m256i low = _mm256_set1_epi32(0xFF);
    const bool nv12 = row.v == row.u + 1 && row.chromaStep == 2;
    const int* luma = reinterpret_cast<const int*>(row.luma);
    const int* u = reinterpret_cast<const int*>(row.u);
    const int* v = reinterpret_cast<const int*>(row.v);
    const __m256i compact = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                             0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i));
        const __m256i chroma = _mm256_mullo_epi32(_mm256_srli_epi32(c, 1), step);
        const __m256i over = _mm256_or_si256(_mm256_cmpgt_epi32(c, lumaLimit),
                                             _mm256_cmpgt_epi32(chroma, chromaLimit));
        uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(i);
        if (!_mm256_testz_si256(over, over)) {
            GatherRowScalar(row, cols + i, 8, p);
            continue;
        }
        const __m256i y = _mm256_and_si256(_mm256_i32gather_epi32(luma, c, 1), low);
        __m256i us, vs;
        if (nv12) {
            const __m256i uv = _mm256_i32gather_epi32(u, chroma, 1);
            us = _mm256_and_si256(uv, low);
            vs = _mm256_and_si256(_mm256_srli_epi32(uv, 8), low);
        } else {
            us = _mm256_and_si256(_mm256_i32gather_epi32(u, chroma, 1), low);
            vs = _mm256_and_si256(_mm256_i32gather_epi32(v, chroma, 1), low);
        }
        const __m256i cc = _mm256_sub_epi32(y, _mm256_set1_epi32(16));
        const __m256i d = _mm256_sub_epi32(us, _mm256_set1_epi32(128));
        const __m256i e = _mm256_sub_epi32(vs, _mm256_set1_epi32(128));
        // 298 C + 128, then + 409 E, - 100 D - 208 E, + 516 D.
        const __m256i base = Dot(Pair(cc, _mm256_set1_epi32(1)), 298, 128);
        const __m256i r = Clamp8(_mm256_add_epi32(base, Dot(Pair(e, e), 409, 0)));
        const __m256i g = Clamp8(_mm256_add_epi32(base, Dot(Pair(d, e), -100, -208)));
        const __m256i b = Clamp8(_mm256_add_epi32(base, Dot(Pair(d, d), 516, 0)));
        const __m256i px = _mm256_or_si256(r, _mm256_or_si256(_mm256_slli_epi32(g, 8), _mm256_slli_epi32(b, 16)));
        const __m256i packed = _mm256_shuffle_epi8(px, compact);
        const __m128i lo = _mm256_castsi256_si128(packed);
        const __m128i hi = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), lo);
        const int32_t loTail = _mm_cvtsi128_si32(_mm_srli_si128(lo, 8));
        __builtin_memcpy(p + 8, &loTail, 4);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 12), hi);
        const int32_t hiTail = _mm_cvtsi128_si32(_mm_srli_si128(hi, 8));
        __builtin_memcpy(p + 20, &hiTail, 4);
    }
    GatherRowScalar(row, cols + i, n - i, rgb + 3 * static_cast<std::ptrdiff_t>(i));
}

}  // namespace
}  // namespace avx2

void FillYuvKernelsAvx2(YuvKernels& k) {
    k.gatherRow = avx2::GatherRow;
}

}  // namespace resampling
}  // namespace vidra
