// AVX2 twin of the YUV conversion: sixteen pixels per step, the BT.601 sums
// in 16-bit lanes.
#include <immintrin.h>

#include <cstddef>

#include "resampling/yuv_kernels.h"

namespace vidra {
namespace resampling {
namespace avx2 {
namespace {

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

// Sixteen pixels of 16-bit Y, U, V lanes (pixel order) to 48 RGB bytes: the
// sums in 16-bit lanes, the planes interleaved by byte shuffles.
__attribute__((always_inline)) inline void Store16(__m256i y, __m256i u, __m256i v, uint8_t* p) {
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
    auto block = [&](int32_t q) {
        const __m128i* m = reinterpret_cast<const __m128i*>(kInterleave[3 * q]);
        return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(planes[0], _mm_load_si128(m)),
                                         _mm_shuffle_epi8(planes[1], _mm_load_si128(m + 1))),
                            _mm_shuffle_epi8(planes[2], _mm_load_si128(m + 2)));
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), block(0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), block(1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), block(2));
}

inline int32_t Load32(const uint8_t* p) {
    int32_t v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// The four bytes at the first column a of each of 8 pairs: at a (kind 0), at
// the chroma cell a / 2 (kind 1) or at its NV12 pair 2 (a / 2) (kind 2).
// Plain loads: hardware gathers are slow on some microcode.
__attribute__((always_inline)) inline __m256i Pick(const uint8_t* base, const int32_t* pairs, int kind) {
    auto at = [&](int k) -> std::ptrdiff_t {
        const int32_t a = pairs[2 * k];
        return kind == 0 ? a : kind == 1 ? a >> 1 : a & ~1;
    };
    return _mm256_setr_epi32(Load32(base + at(0)), Load32(base + at(1)), Load32(base + at(2)), Load32(base + at(3)),
                             Load32(base + at(4)), Load32(base + at(5)), Load32(base + at(6)), Load32(base + at(7)));
}

// Columns come in pairs (a, b) with b = a or a + 1 (the lower and upper
// neighbour of a resize column). One dword gather of the luma at a and one
// of the chroma of the cell a / 2 (two for I420) serve both pixels of a pair;
// a per-pair shift picks the second pixel's bytes. The 16 pixels of 8 pairs
// then go through the 16-bit sums of ConvertRow. A block with another pair,
// or whose gathers could pass the last byte the scalar conversion reads, is
// converted by it.
void GatherRow(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb) {
    int32_t maxCol = 0;
    int32_t i = 0;
    __m256i top = _mm256_setzero_si256();
    for (; i + 8 <= n; i += 8) top = _mm256_max_epi32(top, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i)));
    for (; i < n; ++i) maxCol = cols[i] > maxCol ? cols[i] : maxCol;
    alignas(32) int32_t tops[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(tops), top);
    for (int32_t t : tops) maxCol = t > maxCol ? t : maxCol;
    const bool nv12 = row.v == row.u + 1 && row.chromaStep == 2;
    const bool i420 = row.chromaStep == 1;
    i = 0;
    if (nv12 || i420) {
        const __m256i low = _mm256_set1_epi32(0xFF);
        const __m256i one = _mm256_set1_epi32(1);
        const __m256i lumaLimit = _mm256_set1_epi32(maxCol - 3);
        // NV12 reads bytes 2 cell .. 2 cell + 3, I420 cell .. cell + 3 of each plane.
        const __m256i cellLimit = _mm256_set1_epi32((maxCol >> 1) - (nv12 ? 1 : 3));
        const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        for (; i + 16 <= n; i += 16) {
            const __m256i c0 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i)), order);
            const __m256i c1 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i + 8)), order);
            const __m256i a = _mm256_permute2x128_si256(c0, c1, 0x20);
            const __m256i b = _mm256_permute2x128_si256(c0, c1, 0x31);
            const __m256i step = _mm256_sub_epi32(b, a);
            const __m256i cell = _mm256_srli_epi32(a, 1);
            const __m256i cellStep = _mm256_sub_epi32(_mm256_srli_epi32(b, 1), cell);
            const __m256i bad = _mm256_or_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(step, one), _mm256_cmpgt_epi32(_mm256_setzero_si256(), step)),
                _mm256_or_si256(_mm256_cmpgt_epi32(a, lumaLimit), _mm256_cmpgt_epi32(cell, cellLimit)));
            uint8_t* p = rgb + 3 * static_cast<std::ptrdiff_t>(i);
            if (!_mm256_testz_si256(bad, bad)) {
                GatherRowScalar(row, cols + i, 16, p);
                continue;
            }
            // Dword lanes: the pair's first sample in the low word, its second in the high word.
            const __m256i yw = Pick(row.luma, cols + i, 0);
            const __m256i y = _mm256_or_si256(_mm256_and_si256(yw, low),
                                              _mm256_slli_epi32(_mm256_and_si256(_mm256_srlv_epi32(yw, _mm256_slli_epi32(step, 3)), low), 16));
            __m256i u, v;
            if (nv12) {
                const __m256i uv = Pick(row.u, cols + i, 2);
                const __m256i second = _mm256_srlv_epi32(uv, _mm256_slli_epi32(cellStep, 4));
                u = _mm256_or_si256(_mm256_and_si256(uv, low), _mm256_slli_epi32(_mm256_and_si256(second, low), 16));
                v = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(uv, 8), low),
                                    _mm256_slli_epi32(_mm256_and_si256(_mm256_srli_epi32(second, 8), low), 16));
            } else {
                const __m256i shift = _mm256_slli_epi32(cellStep, 3);
                const __m256i uw = Pick(row.u, cols + i, 1);
                const __m256i vw = Pick(row.v, cols + i, 1);
                u = _mm256_or_si256(_mm256_and_si256(uw, low), _mm256_slli_epi32(_mm256_and_si256(_mm256_srlv_epi32(uw, shift), low), 16));
                v = _mm256_or_si256(_mm256_and_si256(vw, low), _mm256_slli_epi32(_mm256_and_si256(_mm256_srlv_epi32(vw, shift), low), 16));
            }
            Store16(y, u, v, p);
        }
    }
    GatherRowScalar(row, cols + i, n - i, rgb + 3 * static_cast<std::ptrdiff_t>(i));
}

// Sixteen pixels per step: contiguous loads, the chroma of each pair of
// pixels repeated.
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
            Store16(y, u, v, rgb + 3 * static_cast<std::ptrdiff_t>(x));
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
