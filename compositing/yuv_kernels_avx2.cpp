// AVX2 twins of the YUV compositing kernels (yuv_kernels.cpp), byte for byte
// the same results, reached only through the table.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "compositing/yuv_kernels.h"

namespace vidra {
namespace compositing {
namespace avx2 {
namespace {

inline __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m256i LoadInts(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void AddTo(uint32_t* p, __m256i v) {
    __m256i* q = reinterpret_cast<__m256i*>(p);
    _mm256_storeu_si256(q, _mm256_add_epi32(_mm256_loadu_si256(q), v));
}

// (f * m + b * (255 - m) + 127) / 255 on 16-bit lanes, as (v + 128) * 257 >> 16.
inline __m256i Mix16(__m256i f, __m256i b, __m256i m) {
    const __m256i v = _mm256_add_epi16(_mm256_mullo_epi16(f, m),
                                       _mm256_mullo_epi16(b, _mm256_sub_epi16(_mm256_set1_epi16(255), m)));
    return _mm256_mulhi_epu16(_mm256_add_epi16(v, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// (b0 * w0 + b1 * w1 + 128) >> 8 on 16-bit lanes.
inline __m256i Lerp16(__m256i b0, __m256i b1, __m256i w0, __m256i w1) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(b0, w0), _mm256_mullo_epi16(b1, w1)),
                                              _mm256_set1_epi16(128)),
                             8);
}

// Byte `shift / 8` of every 32-bit lane of the gathered cells lo and hi,
// interpolated with w out of 256.
inline __m256i CellChannel(__m256i lo, __m256i hi, __m256i w, int shift) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i cl = _mm256_and_si256(_mm256_srli_epi32(lo, shift), byte);
    const __m256i ch = _mm256_and_si256(_mm256_srli_epi32(hi, shift), byte);
    // cl * (256 - w) + ch * w as one multiply-add of 16-bit pairs.
    const __m256i values = _mm256_or_si256(cl, _mm256_slli_epi32(ch, 16));
    const __m256i weights = _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(256), w), _mm256_slli_epi32(w, 16));
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(values, weights), _mm256_set1_epi32(128)), 8);
}

}  // namespace

void AccumulateYuvAvx2(const uint8_t* y0, const uint8_t* y1, const uint8_t* m0, const uint8_t* m1,
                       const uint8_t* u, const uint8_t* v, int32_t uvStep, YuvSums sums, int32_t width) {
    const __m256i c256 = _mm256_set1_epi16(256), ones = _mm256_set1_epi16(1);
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    int32_t j = 0;
    for (; 2 * j + 16 <= width; j += 8) {
        const int32_t x = 2 * j;
        __m256i w = _mm256_sub_epi16(c256, _mm256_cvtepu8_epi16(Load16(m0 + x)));
        __m256i luma = _mm256_madd_epi16(w, _mm256_cvtepu8_epi16(Load16(y0 + x)));
        __m256i weight = _mm256_madd_epi16(w, ones);
        if (y1 != nullptr) {
            w = _mm256_sub_epi16(c256, _mm256_cvtepu8_epi16(Load16(m1 + x)));
            luma = _mm256_add_epi32(luma, _mm256_madd_epi16(w, _mm256_cvtepu8_epi16(Load16(y1 + x))));
            weight = _mm256_add_epi32(weight, _mm256_madd_epi16(w, ones));
        }
        __m256i cu, cv;
        if (uvStep == 2) {
            const __m256i uv = _mm256_cvtepu8_epi16(Load16(u + x));
            cu = _mm256_and_si256(uv, low16);
            cv = _mm256_srli_epi32(uv, 16);
        } else {
            cu = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + j)));
            cv = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + j)));
        }
        AddTo(sums.luma + j, luma);
        AddTo(sums.u + j, _mm256_mullo_epi32(weight, cu));
        AddTo(sums.v + j, _mm256_mullo_epi32(weight, cv));
        AddTo(sums.weight + j, weight);
    }
    if (2 * j >= width) return;
    const std::ptrdiff_t c = static_cast<std::ptrdiff_t>(j) * uvStep;
    const YuvSums rest{sums.luma + j, sums.u + j, sums.v + j, sums.weight + j};
    AccumulateYuvScalar(y0 + 2 * j, y1 != nullptr ? y1 + 2 * j : nullptr, m0 + 2 * j,
                        m1 != nullptr ? m1 + 2 * j : nullptr, u + c, v + c, uvStep, rest, width - 2 * j);
}

void ChromaMaskAvx2(const uint8_t* m0, const uint8_t* m1, uint8_t* out, int32_t width) {
    if (m1 == nullptr) m1 = m0;
    const __m256i ones = _mm256_set1_epi8(1), two = _mm256_set1_epi16(2);
    int32_t j = 0;
    for (; 2 * j + 32 <= width; j += 16) {
        const __m256i s = _mm256_add_epi16(_mm256_maddubs_epi16(Load(m0 + 2 * j), ones),
                                           _mm256_maddubs_epi16(Load(m1 + 2 * j), ones));
        const __m256i q = _mm256_srli_epi16(_mm256_add_epi16(s, two), 2);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(q, q), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm256_castsi256_si128(packed));
    }
    if (2 * j < width) ChromaMaskScalar(m0 + 2 * j, m1 + 2 * j, out + j, width - 2 * j);
}

void UpsampleCellsAvx2(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width, int32_t first,
                       int32_t count) {
    const int* words = reinterpret_cast<const int*>(cells);
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i lo = _mm256_i32gather_epi32(words, LoadInts(axis.lo + x), 4);
        const __m256i hi = _mm256_i32gather_epi32(words, LoadInts(axis.hi + x), 4);
        const __m256i w = LoadInts(axis.wq + x);
        __m256i r = CellChannel(lo, hi, w, 8 * first);
        if (count == 2) r = _mm256_or_si256(r, _mm256_slli_epi32(CellChannel(lo, hi, w, 8 * first + 8), 8));
        // 32-bit lanes to 16-bit in order.
        const __m256i halves = _mm256_permute4x64_epi64(_mm256_packus_epi32(r, r), 0x08);
        if (count == 2) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * static_cast<std::ptrdiff_t>(x)),
                             _mm256_castsi256_si128(halves));
        } else {
            const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(halves), _mm256_castsi256_si128(halves));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), bytes);
        }
    }
    if (x < width) {
        const AxisSamples rest{axis.lo + x, axis.hi + x, axis.wq + x, axis.wf + x};
        UpsampleCellsScalar(cells, rest, dst + static_cast<std::ptrdiff_t>(x) * count, width - x, first, count);
    }
}

void BlendPlaneAvx2(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* mask,
                    int32_t pairs, uint8_t* out, int32_t n) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i w1 = _mm256_set1_epi16(static_cast<int16_t>(wb));
    const __m256i w0 = _mm256_set1_epi16(static_cast<int16_t>(256 - wb));
    int32_t x = 0;
    for (; x + 32 <= n; x += 32) {
        __m256i m;
        if (pairs != 0) {
            const __m128i half = Load16(mask + x / 2);
            m = _mm256_set_m128i(_mm_unpackhi_epi8(half, half), _mm_unpacklo_epi8(half, half));
        } else {
            m = Load(mask + x);
        }
        const __m256i fv = Load(f + x), v0 = Load(b0 + x);
        // Masks are mostly 0 and 255, where the formula gives the background
        // or the frame byte exactly.
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, _mm256_set1_epi8(-1))) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), fv);
            continue;
        }
        const __m256i v1 = Load(b1 + x);
        const bool none = _mm256_movemask_epi8(_mm256_cmpeq_epi8(m, zero)) == -1;
        __m256i parts[2];
        for (int h = 0; h < 2; ++h) {
            __m256i b = h == 0 ? _mm256_unpacklo_epi8(v0, zero) : _mm256_unpackhi_epi8(v0, zero);
            if (wb != 0)
                b = Lerp16(b, h == 0 ? _mm256_unpacklo_epi8(v1, zero) : _mm256_unpackhi_epi8(v1, zero), w0, w1);
            if (none) {
                parts[h] = b;
                continue;
            }
            const __m256i ff = h == 0 ? _mm256_unpacklo_epi8(fv, zero) : _mm256_unpackhi_epi8(fv, zero);
            const __m256i mm = h == 0 ? _mm256_unpacklo_epi8(m, zero) : _mm256_unpackhi_epi8(m, zero);
            parts[h] = Mix16(ff, b, mm);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(parts[0], parts[1]));
    }
    if (x < n) BlendPlaneScalar(f + x, b0 + x, b1 + x, wb, mask + (x >> pairs), pairs, out + x, n - x);
}

}  // namespace avx2

void FillYuvKernelsAvx2(YuvKernels& k) {
    k.accumulate = avx2::AccumulateYuvAvx2;
    k.chromaMask = avx2::ChromaMaskAvx2;
    k.upsample = avx2::UpsampleCellsAvx2;
    k.blend = avx2::BlendPlaneAvx2;
}

}  // namespace compositing
}  // namespace vidra
