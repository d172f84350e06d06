// AVX-512 twin of the YUV conversion: sixteen pixels per step, samples by
// dword gathers, the BT.601 sums as exact 32-bit multiply-adds of 16-bit pairs.
#include <immintrin.h>

#include <cstddef>

#include "resampling/yuv_kernels.h"

namespace vidra {
namespace resampling {
namespace avx512 {
namespace {

inline __m512i Pair(__m512i a, __m512i b) {
    return _mm512_or_si512(_mm512_and_si512(a, _mm512_set1_epi32(0xFFFF)), _mm512_slli_epi32(b, 16));
}

inline __m512i Dot(__m512i pairs, int16_t ka, int16_t kb) {
    return _mm512_madd_epi16(pairs, _mm512_set1_epi32(static_cast<int32_t>(
                                        static_cast<uint16_t>(ka) | (static_cast<uint32_t>(static_cast<uint16_t>(kb)) << 16))));
}

inline __m512i Clamp8(__m512i sum) {
    return _mm512_min_epi32(_mm512_max_epi32(_mm512_srai_epi32(sum, 8), _mm512_setzero_si512()),
                            _mm512_set1_epi32(255));
}

inline void StoreTwelve(uint8_t* p, __m128i lane) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), lane);
    const int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(lane, 8));
    __builtin_memcpy(p + 8, &tail, 4);
}

void GatherRow(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb) {
    // A gather reads four bytes from each index; blocks whose reads could pass
    // the last byte the scalar conversion reads are converted by it.
    int32_t maxCol = 0;
    for (int32_t i = 0; i < n; ++i) maxCol = cols[i] > maxCol ? cols[i] : maxCol;
    const __m512i lumaLimit = _mm512_set1_epi32(maxCol - 3);
    const __m512i chromaLimit = _mm512_set1_epi32((maxCol / 2) * row.chromaStep - 3);
    const __m512i step = _mm512_set1_epi32(row.chromaStep);
    const __m512i low = _mm512_set1_epi32(0xFF);
    const bool nv12 = row.v == row.u + 1 && row.chromaStep == 2;
    const __m512i compact = _mm512_broadcast_i32x4(
        _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i c = _mm512_loadu_si512(cols + i);
        const __m512i chroma = _mm512_mullo_epi32(_mm512_srli_epi32(c, 1), step);
        const __mmask16 over = _mm512_cmpgt_epi32_mask(c, lumaLimit) |
                               _mm512_cmpgt_epi32_mask(chroma, chromaLimit);
        uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(i);
        if (over != 0) {
            GatherRowScalar(row, cols + i, 16, p);
            continue;
        }
        const __m512i y = _mm512_and_si512(_mm512_i32gather_epi32(c, row.luma, 1), low);
        __m512i us, vs;
        if (nv12) {
            const __m512i uv = _mm512_i32gather_epi32(chroma, row.u, 1);
            us = _mm512_and_si512(uv, low);
            vs = _mm512_and_si512(_mm512_srli_epi32(uv, 8), low);
        } else {
            us = _mm512_and_si512(_mm512_i32gather_epi32(chroma, row.u, 1), low);
            vs = _mm512_and_si512(_mm512_i32gather_epi32(chroma, row.v, 1), low);
        }
        const __m512i cc = _mm512_sub_epi32(y, _mm512_set1_epi32(16));
        const __m512i d = _mm512_sub_epi32(us, _mm512_set1_epi32(128));
        const __m512i e = _mm512_sub_epi32(vs, _mm512_set1_epi32(128));
        const __m512i base = Dot(Pair(cc, _mm512_set1_epi32(1)), 298, 128);
        const __m512i r = Clamp8(_mm512_add_epi32(base, Dot(Pair(e, e), 409, 0)));
        const __m512i g = Clamp8(_mm512_add_epi32(base, Dot(Pair(d, e), -100, -208)));
        const __m512i b = Clamp8(_mm512_add_epi32(base, Dot(Pair(d, d), 516, 0)));
        const __m512i px = _mm512_or_si512(r, _mm512_or_si512(_mm512_slli_epi32(g, 8), _mm512_slli_epi32(b, 16)));
        const __m512i packed = _mm512_shuffle_epi8(px, compact);
        StoreTwelve(p, _mm512_castsi512_si128(packed));
        StoreTwelve(p + 12, _mm512_extracti32x4_epi32(packed, 1));
        StoreTwelve(p + 24, _mm512_extracti32x4_epi32(packed, 2));
        StoreTwelve(p + 36, _mm512_extracti32x4_epi32(packed, 3));
    }
    GatherRowScalar(row, cols + i, n - i, rgb + 3 * static_cast<std::ptrdiff_t>(i));
}

}  // namespace
}  // namespace avx512

void FillYuvKernelsAvx512(YuvKernels& k) {
    k.gatherRow = avx512::GatherRow;
}

}  // namespace resampling
}  // namespace vidra
