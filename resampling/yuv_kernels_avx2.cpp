// AVX2 twin of the YUV conversion: sixteen pixels (eight column pairs) per
// step, the BT.601 sums as exact 32-bit multiply-adds of 16-bit pairs.
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

inline int32_t Load16(const uint8_t* p) {
    uint16_t v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

inline int32_t Load32(const uint8_t* p) {
    int32_t v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// R | G << 8 | B << 16 per lane from 32-bit lanes of Y, U, V samples.
inline __m256i ConvertEight(__m256i y, __m256i u, __m256i v) {
    const __m256i cc = _mm256_sub_epi32(y, _mm256_set1_epi32(16));
    const __m256i d = _mm256_sub_epi32(u, _mm256_set1_epi32(128));
    const __m256i e = _mm256_sub_epi32(v, _mm256_set1_epi32(128));
    // 298 C + 128, then + 409 E, - 100 D - 208 E, + 516 D.
    const __m256i base = Dot(Pair(cc, _mm256_set1_epi32(1)), 298, 128);
    const __m256i r = Clamp8(_mm256_add_epi32(base, Dot(Pair(e, e), 409, 0)));
    const __m256i g = Clamp8(_mm256_add_epi32(base, Dot(Pair(d, e), -100, -208)));
    const __m256i b = Clamp8(_mm256_add_epi32(base, Dot(Pair(d, d), 516, 0)));
    return _mm256_or_si256(r, _mm256_or_si256(_mm256_slli_epi32(g, 8), _mm256_slli_epi32(b, 16)));
}

inline void StoreTwelve(uint8_t* p, __m128i lane) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), lane);
    const int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(lane, 8));
    __builtin_memcpy(p + 8, &tail, 4);
}

// Columns come in pairs (a, b) with b = a or a + 1 (the lower and upper
// neighbour of a resize column): one 16-bit luma load and one chroma load
// (U and V of the cells a / 2 and a / 2 + 1) serve both pixels of a pair.
// Eight pairs per step; a block with another pair, or whose loads could pass
// the last byte the scalar conversion reads, is converted by it.
void GatherRow(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb) {
    int32_t maxCol = 0;
    for (int32_t i = 0; i < n; ++i) maxCol = cols[i] > maxCol ? cols[i] : maxCol;
    const bool nv12 = row.v == row.u + 1 && row.chromaStep == 2;
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m256i compact = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                             0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    alignas(32) int32_t lumaWords[8], chromaA[8], chromaB[8], lumaShift[8], chromaShift[8];
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        bool pairs = true;
        for (int32_t k = 0; k < 8 && pairs; ++k) {
            const int32_t a = cols[i + 2 * k];
            const int32_t b = cols[i + 2 * k + 1];
            const int32_t cell = a >> 1;
            pairs = (b == a || b == a + 1) && a + 1 <= maxCol && cell + 1 <= (maxCol >> 1);
            if (!pairs) break;
            lumaWords[k] = Load16(row.luma + a);
            lumaShift[k] = 8 * (b - a);
            chromaShift[k] = ((b >> 1) - cell) * (nv12 ? 16 : 8);
            if (nv12) {
                chromaA[k] = Load32(row.u + 2 * static_cast<std::ptrdiff_t>(cell));
            } else {
                const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(cell) * row.chromaStep;
                chromaA[k] = row.u[at] | (row.u[at + row.chromaStep] << 8);
                chromaB[k] = row.v[at] | (row.v[at + row.chromaStep] << 8);
            }
        }
        uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(i);
        if (!pairs) {
            GatherRowScalar(row, cols + i, 16, p);
            continue;
        }
        const __m256i lw = _mm256_load_si256(reinterpret_cast<const __m256i*>(lumaWords));
        const __m256i ls = _mm256_load_si256(reinterpret_cast<const __m256i*>(lumaShift));
        const __m256i cs = _mm256_load_si256(reinterpret_cast<const __m256i*>(chromaShift));
        const __m256i ca = _mm256_load_si256(reinterpret_cast<const __m256i*>(chromaA));
        const __m256i y0 = _mm256_and_si256(lw, low);
        const __m256i y1 = _mm256_and_si256(_mm256_srlv_epi32(lw, ls), low);
        __m256i u0, v0, u1, v1;
        if (nv12) {
            u0 = _mm256_and_si256(ca, low);
            v0 = _mm256_and_si256(_mm256_srli_epi32(ca, 8), low);
            const __m256i second = _mm256_srlv_epi32(ca, cs);
            u1 = _mm256_and_si256(second, low);
            v1 = _mm256_and_si256(_mm256_srli_epi32(second, 8), low);
        } else {
            const __m256i cb = _mm256_load_si256(reinterpret_cast<const __m256i*>(chromaB));
            u0 = _mm256_and_si256(ca, low);
            v0 = _mm256_and_si256(cb, low);
            u1 = _mm256_and_si256(_mm256_srlv_epi32(ca, cs), low);
            v1 = _mm256_and_si256(_mm256_srlv_epi32(cb, cs), low);
        }
        const __m256i first = ConvertEight(y0, u0, v0);
        const __m256i second = ConvertEight(y1, u1, v1);
        // Pixels in column order: pairs 0-1 and 4-5 (lo), 2-3 and 6-7 (hi).
        const __m256i lo = _mm256_shuffle_epi8(_mm256_unpacklo_epi32(first, second), compact);
        const __m256i hi = _mm256_shuffle_epi8(_mm256_unpackhi_epi32(first, second), compact);
        StoreTwelve(p, _mm256_castsi256_si128(lo));
        StoreTwelve(p + 12, _mm256_castsi256_si128(hi));
        StoreTwelve(p + 24, _mm256_extracti128_si256(lo, 1));
        StoreTwelve(p + 36, _mm256_extracti128_si256(hi, 1));
    }
    GatherRowScalar(row, cols + i, n - i, rgb + 3 * static_cast<std::ptrdiff_t>(i));
}

// The BT.601 sums in 16-bit lanes: with 298 = 256 + 42, 409 = 512 - 103,
// 208 = 256 - 48 and 516 = 512 + 4, each sum is 256 (C + m) + X with X within
// 16 bits, and (256 (C + m) + X) >> 8 = C + m + (X >> 8) exactly.
inline __m128i Channel16(__m256i cm, __m256i x) {
    const __m256i sum = _mm256_add_epi16(cm, _mm256_srai_epi16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), 8));
    // Negative sums give 0, those above 255 give 255, as ClampShift8.
    return _mm_packus_epi16(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
}

// kInterleave[3 q + ch]: byte i of output block q (16 bytes) takes byte
// (16 q + i) / 3 of plane ch where (16 q + i) % 3 == ch, else nothing.
alignas(16) constexpr int8_t kInterleave[9][16] = {
    {0, -128, -128, 1, -128, -128, 2, -128, -128, 3, -128, -128, 4, -128, -128, 5},
    {-128, 0, -128, -128, 1, -128, -128, 2, -128, -128, 3, -128, -128, 4, -128, -128},
    {-128, -128, 0, -128, -128, 1, -128, -128, 2, -128, -128, 3, -128, -128, 4, -128},
    {-128, -128, 6, -128, -128, 7, -128, -128, 8, -128, -128, 9, -128, -128, 10, -128},
    {5, -128, -128, 6, -128, -128, 7, -128, -128, 8, -128, -128, 9, -128, -128, 10},
    {-128, 5, -128, -128, 6, -128, -128, 7, -128, -128, 8, -128, -128, 9, -128, -128},
    {-128, 11, -128, -128, 12, -128, -128, 13, -128, -128, 14, -128, -128, 15, -128, -128},
    {-128, -128, 11, -128, -128, 12, -128, -128, 13, -128, -128, 14, -128, -128, 15, -128},
    {10, -128, -128, 11, -128, -128, 12, -128, -128, 13, -128, -128, 14, -128, -128, 15},
};

// Sixteen pixels per step: contiguous loads, the chroma of each pair of
// pixels repeated, the sums in 16-bit lanes, the planes interleaved by byte
// shuffles.
void ConvertRow(const YuvRow& row, int32_t width, uint8_t* rgb) {
    const bool nv12 = row.v == row.u + 1 && row.chromaStep == 2;
    const bool i420 = row.chromaStep == 1;
    int32_t x = 0;
    if (nv12 || i420) {
        for (; x + 16 <= width; x += 16) {
            const __m256i y = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row.luma + x)));
            __m256i u, v;
            if (nv12) {
                // Words U0 V0 U1 V1 ...: each dword holds a pair's U and V.
                const __m256i uv = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row.u + x)));
                const __m256i lowWord = _mm256_set1_epi32(0xFFFF);
                u = _mm256_or_si256(_mm256_and_si256(uv, lowWord), _mm256_slli_epi32(uv, 16));
                v = _mm256_or_si256(_mm256_srli_epi32(uv, 16), _mm256_andnot_si256(lowWord, uv));
            } else {
                const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.u + x / 2));
                const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.v + x / 2));
                u = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(u8, u8));
                v = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(v8, v8));
            }
            const __m256i cc = _mm256_sub_epi16(y, _mm256_set1_epi16(16));
            const __m256i d = _mm256_sub_epi16(u, _mm256_set1_epi16(128));
            const __m256i e = _mm256_sub_epi16(v, _mm256_set1_epi16(128));
            const __m256i c42 = _mm256_mullo_epi16(cc, _mm256_set1_epi16(42));
            // R = 298 C + 409 E, G = 298 C - 100 D - 208 E, B = 298 C + 516 D.
            const __m128i planes[3] = {
                Channel16(_mm256_add_epi16(cc, _mm256_add_epi16(e, e)),
                          _mm256_sub_epi16(c42, _mm256_mullo_epi16(e, _mm256_set1_epi16(103)))),
                Channel16(_mm256_sub_epi16(cc, e),
                          _mm256_add_epi16(_mm256_sub_epi16(c42, _mm256_mullo_epi16(d, _mm256_set1_epi16(100))),
                                           _mm256_mullo_epi16(e, _mm256_set1_epi16(48)))),
                Channel16(_mm256_add_epi16(cc, _mm256_add_epi16(d, d)),
                          _mm256_add_epi16(c42, _mm256_slli_epi16(d, 2)))};
            uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(x);
            for (int32_t q = 0; q < 3; ++q) {
                __m128i out = _mm_setzero_si128();
                for (int32_t ch = 0; ch < 3; ++ch)
                    out = _mm_or_si128(out, _mm_shuffle_epi8(planes[ch], _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleave[3 * q + ch]))));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * q), out);
            }
        }
    }
    ConvertColumnsScalar(row, x, width, rgb);
}

}  // namespace
}  // namespace avx2

void FillYuvKernelsAvx2(YuvKernels& k) {
    k.gatherRow = avx2::GatherRow;
    k.convertRow = avx2::ConvertRow;
}

}  // namespace resampling
}  // namespace vidra
