// SSE2 twin of the YUV conversion: eight pixels per step, the BT.601 sums as
// exact 32-bit multiply-adds of 16-bit pairs.
#include <emmintrin.h>

#include <cstddef>
#include <cstring>

#include "resampling/yuv_kernels.h"

namespace vidra {
namespace resampling {
namespace sse2 {
namespace {

// (a, b) pairs of 16-bit lanes, each pair's 32-bit lane = a ka + b kb.
inline __m128i Dot(__m128i a, __m128i b, int16_t ka, int16_t kb, bool high) {
    const __m128i pairs = high ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
    return _mm_madd_epi16(pairs, _mm_setr_epi16(ka, kb, ka, kb, ka, kb, ka, kb));
}

// Eight 32-bit sums (two halves) >> 8, clamped to 0..255 (negative sums
// stay negative after the arithmetic shift and saturate to 0).
inline __m128i ToBytes(__m128i lo, __m128i hi) {
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(lo, 8), _mm_srai_epi32(hi, 8));
    return _mm_packus_epi16(words, words);
}

void GatherRow(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb) {
    const __m128i one = _mm_set1_epi16(1);
    alignas(16) int16_t y[8], u[8], v[8];
    alignas(16) uint8_t out[3][16];
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        for (int32_t k = 0; k < 8; ++k) {
            const int32_t c = cols[i + k];
            const std::ptrdiff_t chroma = static_cast<std::ptrdiff_t>(c / 2) * row.chromaStep;
            y[k] = row.luma[c];
            u[k] = row.u[chroma];
            v[k] = row.v[chroma];
        }
        const __m128i c = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(y)), _mm_set1_epi16(16));
        const __m128i d = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(u)), _mm_set1_epi16(128));
        const __m128i e = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(v)), _mm_set1_epi16(128));
        __m128i r[2], g[2], b[2];
        for (int h = 0; h < 2; ++h) {
            // 298 C + 128 + 409 E, 298 C + 128 - 100 D - 208 E, 298 C + 128 + 516 D.
            const __m128i base = Dot(c, one, 298, 128, h != 0);
            r[h] = _mm_add_epi32(base, Dot(e, e, 409, 0, h != 0));
            g[h] = _mm_add_epi32(base, Dot(d, e, -100, -208, h != 0));
            b[h] = _mm_add_epi32(base, Dot(d, d, 516, 0, h != 0));
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(out[0]), ToBytes(r[0], r[1]));
        _mm_store_si128(reinterpret_cast<__m128i*>(out[1]), ToBytes(g[0], g[1]));
        _mm_store_si128(reinterpret_cast<__m128i*>(out[2]), ToBytes(b[0], b[1]));
        uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(i);
        for (int32_t k = 0; k < 8; ++k) {
            p[3 * k] = out[0][k];
            p[3 * k + 1] = out[1][k];
            p[3 * k + 2] = out[2][k];
        }
    }
    GatherRowScalar(row, cols + i, n - i, rgb + 3 * static_cast<std::ptrdiff_t>(i));
}

// The BT.601 sums in 16-bit lanes: with 298 = 256 + 42, 409 = 512 - 103,
// 208 = 256 - 48 and 516 = 512 + 4, each sum is 256 (C + m) + X with X within
// 16 bits, and (256 (C + m) + X) >> 8 = C + m + (X >> 8) exactly.
inline __m128i Channel16(__m128i cm, __m128i x) {
    const __m128i sum = _mm_add_epi16(cm, _mm_srai_epi16(_mm_add_epi16(x, _mm_set1_epi16(128)), 8));
    return _mm_packus_epi16(sum, sum);  // negative sums give 0, above 255 give 255
}

// Eight pixels per step: contiguous loads, the chroma of each pair of pixels
// repeated, the sums in 16-bit lanes.
void ConvertRow(const YuvRow& row, int32_t width, uint8_t* rgb) {
    const bool nv12 = row.v == row.u + 1 && row.chromaStep == 2;
    const bool i420 = row.chromaStep == 1;
    const __m128i zero = _mm_setzero_si128();
    alignas(16) uint8_t planes[3][16];
    int32_t x = 0;
    if (nv12 || i420) {
        for (; x + 8 <= width; x += 8) {
            const __m128i y = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.luma + x)), zero);
            __m128i u, v;
            if (nv12) {
                const __m128i uv = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.u + x)), zero);
                const __m128i lowWord = _mm_set1_epi32(0xFFFF);
                u = _mm_or_si128(_mm_and_si128(uv, lowWord), _mm_slli_epi32(uv, 16));
                v = _mm_or_si128(_mm_srli_epi32(uv, 16), _mm_andnot_si128(lowWord, uv));
            } else {
                int32_t u4, v4;
                std::memcpy(&u4, row.u + x / 2, 4);
                std::memcpy(&v4, row.v + x / 2, 4);
                const __m128i u8 = _mm_cvtsi32_si128(u4);
                const __m128i v8 = _mm_cvtsi32_si128(v4);
                u = _mm_unpacklo_epi8(_mm_unpacklo_epi8(u8, u8), zero);
                v = _mm_unpacklo_epi8(_mm_unpacklo_epi8(v8, v8), zero);
            }
            const __m128i cc = _mm_sub_epi16(y, _mm_set1_epi16(16));
            const __m128i d = _mm_sub_epi16(u, _mm_set1_epi16(128));
            const __m128i e = _mm_sub_epi16(v, _mm_set1_epi16(128));
            const __m128i c42 = _mm_mullo_epi16(cc, _mm_set1_epi16(42));
            _mm_store_si128(reinterpret_cast<__m128i*>(planes[0]),
                            Channel16(_mm_add_epi16(cc, _mm_add_epi16(e, e)),
                                      _mm_sub_epi16(c42, _mm_mullo_epi16(e, _mm_set1_epi16(103)))));
            _mm_store_si128(reinterpret_cast<__m128i*>(planes[1]),
                            Channel16(_mm_sub_epi16(cc, e),
                                      _mm_add_epi16(_mm_sub_epi16(c42, _mm_mullo_epi16(d, _mm_set1_epi16(100))),
                                                    _mm_mullo_epi16(e, _mm_set1_epi16(48)))));
            _mm_store_si128(reinterpret_cast<__m128i*>(planes[2]),
                            Channel16(_mm_add_epi16(cc, _mm_add_epi16(d, d)),
                                      _mm_add_epi16(c42, _mm_slli_epi16(d, 2))));
            uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(x);
            for (int32_t k = 0; k < 8; ++k) {
                p[3 * k] = planes[0][k];
                p[3 * k + 1] = planes[1][k];
                p[3 * k + 2] = planes[2][k];
            }
        }
    }
    ConvertColumnsScalar(row, x, width, rgb);
}

}  // namespace
}  // namespace sse2

void FillYuvKernelsSse2(YuvKernels& k) {
    k.gatherRow = sse2::GatherRow;
    k.convertRow = sse2::ConvertRow;
}

}  // namespace resampling
}  // namespace vidra
