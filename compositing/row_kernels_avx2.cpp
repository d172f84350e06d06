// AVX2 twins of the scalar row kernels (row_kernels.cpp), byte for byte the
// same results, reached only through the table when the processor has AVX2.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "compositing/row_kernels.h"

namespace vidra {
namespace compositing {
namespace avx2 {
namespace {

// Each byte of a 128-bit lane repeated per the table: lane pattern of a
// 3-byte row starting `phase` bytes into pixel `start`.
__m256i ThreeBytePattern(int32_t startLo, int32_t phaseLo, int32_t startHi, int32_t phaseHi) {
    alignas(32) int8_t p[32];
    for (int32_t i = 0; i < 16; ++i) {
        p[i] = static_cast<int8_t>(startLo + (phaseLo + i) / 3);
        p[16 + i] = static_cast<int8_t>(startHi + (phaseHi + i) / 3);
    }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

// (f * m + b * (255 - m) + 127) / 255 on 32 bytes, m given per byte.
inline __m256i Mix(__m256i f, __m256i b, __m256i m) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c255 = _mm256_set1_epi16(255);
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i c257 = _mm256_set1_epi16(257);
    const __m256i mLo = _mm256_unpacklo_epi8(m, zero), mHi = _mm256_unpackhi_epi8(m, zero);
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(f, zero), mLo),
                                  _mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero),
                                                     _mm256_sub_epi16(c255, mLo)));
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(f, zero), mHi),
                                  _mm256_mullo_epi16(_mm256_unpackhi_epi8(b, zero),
                                                     _mm256_sub_epi16(c255, mHi)));
    lo = _mm256_mulhi_epu16(_mm256_add_epi16(lo, c128), c257);
    hi = _mm256_mulhi_epu16(_mm256_add_epi16(hi, c128), c257);
    return _mm256_packus_epi16(lo, hi);
}

inline __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// The mask bytes of pixels 0..7 of m, each repeated four times.
inline __m256i SpreadFour(const uint8_t* m) {
    const __m256i rep = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0,
                                         0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    return _mm256_shuffle_epi8(
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m))), rep);
}

// (r0 * (256 - w) + r1 * w + 128) >> 8 on 32 bytes; w0 = 256 - w, w1 = w
// as 16-bit lanes.
inline __m256i Lerp(__m256i r0, __m256i r1, __m256i w0, __m256i w1) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(r0, zero), w0),
                                          _mm256_mullo_epi16(_mm256_unpacklo_epi8(r1, zero), w1)),
                         c128),
        8);
    const __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(r0, zero), w0),
                                          _mm256_mullo_epi16(_mm256_unpackhi_epi8(r1, zero), w1)),
                         c128),
        8);
    return _mm256_packus_epi16(lo, hi);
}

void BlendAvx2(const uint8_t* f, const uint8_t* b0, const uint8_t* b1, int32_t wb, const uint8_t* m,
               uint8_t* out, int32_t width, int32_t bpp) {
    int32_t x = 0;
    const __m256i ones = _mm256_set1_epi8(-1);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i w1 = _mm256_set1_epi16(static_cast<int16_t>(wb));
    const __m256i w0 = _mm256_set1_epi16(static_cast<int16_t>(256 - wb));
    // Background bytes at offset o (wb 0 gives b0 itself, as the formula does).
    const auto back = [&](size_t o) {
        const __m256i v0 = Load(b0 + o);
        return wb == 0 ? v0 : Lerp(v0, Load(b1 + o), w0, w1);
    };
    if (bpp == 3) {
        const __m256i p0 = ThreeBytePattern(0, 0, 5, 1);
        const __m256i p1 = ThreeBytePattern(10, 2, 0, 0);
        const __m256i p2 = ThreeBytePattern(5, 1, 10, 2);
        for (; x + 32 <= width; x += 32) {
            const __m256i mv = Load(m + x);
            const size_t o = static_cast<size_t>(x) * 3;
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(mv, ones)) == -1) {
                for (int32_t i = 0; i < 3; ++i) Store(out + o + 32 * i, Load(f + o + 32 * i));
                continue;
            }
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(mv, zero)) == -1) {
                for (int32_t i = 0; i < 3; ++i) Store(out + o + 32 * i, back(o + 32 * i));
                continue;
            }
            const __m256i m0 = _mm256_shuffle_epi8(_mm256_permute2x128_si256(mv, mv, 0x00), p0);
            const __m256i m1 = _mm256_shuffle_epi8(mv, p1);
            const __m256i m2 = _mm256_shuffle_epi8(_mm256_permute2x128_si256(mv, mv, 0x11), p2);
            const __m256i r0 = Mix(Load(f + o), back(o), m0);
            const __m256i r1 = Mix(Load(f + o + 32), back(o + 32), m1);
            const __m256i r2 = Mix(Load(f + o + 64), back(o + 64), m2);
            Store(out + o, r0);
            Store(out + o + 32, r1);
            Store(out + o + 64, r2);
        }
    } else {
        const __m256i alpha = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
        for (; x + 32 <= width; x += 32) {
            const __m256i mv = Load(m + x);
            const size_t o = static_cast<size_t>(x) * 4;
            const bool all = _mm256_movemask_epi8(_mm256_cmpeq_epi8(mv, ones)) == -1;
            const bool none = _mm256_movemask_epi8(_mm256_cmpeq_epi8(mv, zero)) == -1;
            __m256i r[4];
            for (int32_t i = 0; i < 4; ++i) {
                const __m256i fv = Load(f + o + 32 * i);
                r[i] = all    ? fv
                       : none ? back(o + 32 * i)
                              : Mix(fv, back(o + 32 * i), SpreadFour(m + x + 8 * i));
            }
            for (int32_t i = 0; i < 4; ++i) Store(out + o + 32 * i, _mm256_or_si256(r[i], alpha));
        }
    }
    const size_t o = static_cast<size_t>(x) * bpp;
    BlendScalar(f + o, b0 + o, b1 + o, wb, m + x, out + o, width - x, bpp);
}

// Pixels x .. x+7 of a packed row as 32-bit lanes, bytes in the row's order
// (the fourth byte of a 3-byte pixel is zero). A 3-byte row reads 28 bytes.
inline __m256i LoadEight(const uint8_t* src, int32_t bpp) {
    if (bpp == 4) return Load(src);
    const __m256i widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1,
                                           2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i both = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(src + 12),
                                             reinterpret_cast<const __m128i*>(src));
    return _mm256_shuffle_epi8(both, widen);
}
// Pixels left for the scalar tail so that LoadEight stays inside the row.
inline int32_t VectorEnd(int32_t width, int32_t bpp) {
    return bpp == 4 ? width : width - 2;
}

// Word w of each dword pair spread: lanes of 16-bit values, dwords 0, 1 (or
// 2, 3) of each lane repeated four times.
inline __m256i SpreadWords(__m256i dwords, bool upper) {
    const __m256i lo = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5, 0, 1, 0, 1, 0,
                                        1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5);
    const __m256i hi = _mm256_setr_epi8(8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13, 8, 9,
                                        8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13);
    return _mm256_shuffle_epi8(dwords, upper ? hi : lo);
}

inline void AddTo(uint32_t* acc, __m256i v) {
    __m256i* p = reinterpret_cast<__m256i*>(acc);
    _mm256_storeu_si256(p, _mm256_add_epi32(_mm256_loadu_si256(p), v));
}

void AccumulateWeightedAvx2(const uint8_t* src, int32_t bpp, const uint8_t* m, uint32_t* acc,
                            int32_t width, int32_t group) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i one = _mm256_set1_epi32(0x01000000);
    const __m256i c256 = _mm256_set1_epi16(256);
    // Channels of pixel pairs side by side: r0 r1 g0 g1 b0 b1 1 1 per pair.
    const __m256i pairs = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4,
                                           1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    const __m256i pairs01 = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
    const __m256i pairs23 = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    const int32_t end = VectorEnd(width, bpp);
    int32_t x = 0;
    for (; x + 8 <= end; x += 8) {
        // The fourth byte becomes 1, so that its product is the weight.
        const __m256i px = _mm256_shuffle_epi8(
            _mm256_or_si256(_mm256_and_si256(LoadEight(src + x * bpp, bpp), colour), one), pairs);
        // Weights 256 - m as 16-bit pairs (w0 w1), (w2 w3), ...
        const __m256i w = _mm256_castsi128_si256(_mm_sub_epi16(
            _mm256_castsi256_si128(c256),
            _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + x)))));
        // Sums of each channel over a pair: pairs (0 1 | 4 5) and (2 3 | 6 7).
        const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi8(px, zero),
                                             _mm256_permutevar8x32_epi32(w, pairs01));
        const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi8(px, zero),
                                             _mm256_permutevar8x32_epi32(w, pairs23));
        if (group == 4) {
            AddTo(acc + x, _mm256_add_epi32(lo, hi));
        } else {
            AddTo(acc + 2 * x, _mm256_permute2x128_si256(lo, hi, 0x20));
            AddTo(acc + 2 * x + 8, _mm256_permute2x128_si256(lo, hi, 0x31));
        }
    }
    AccumulateWeightedScalar(src + static_cast<size_t>(x) * bpp, bpp, m + x, acc + 4 * (x / group),
                             width - x, group);
}

// The cells at lo and hi of outputs x .. x+7. Eight outputs reach at most
// eight cells when blocks are two or more pixels wide: those are loaded once
// and picked by permutation; otherwise gathered. Cell rows are followed by
// scratch slack, so the load may run past a row's last cell.
template <typename V, typename Load, typename Permute, typename Gather>
inline void PickCells(const void* cells, AxisSamples axis, int32_t x, V* lo, V* hi, Load load,
                      Permute permute, Gather gather) {
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(axis.lo + x));
    const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(axis.hi + x));
    const int32_t first = axis.lo[x];
    if (axis.hi[x + 7] - first <= 7) {
        const V window = load(cells, first);
        const __m256i offset = _mm256_set1_epi32(first);
        *lo = permute(window, _mm256_sub_epi32(l, offset));
        *hi = permute(window, _mm256_sub_epi32(h, offset));
    } else {
        *lo = gather(cells, l);
        *hi = gather(cells, h);
    }
}

inline void CellPair(const int* cells, AxisSamples axis, int32_t x, __m256i* lo, __m256i* hi) {
    PickCells(
        cells, axis, x, lo, hi,
        [](const void* c, int32_t i) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(static_cast<const int*>(c) + i));
        },
        [](__m256i v, __m256i idx) { return _mm256_permutevar8x32_epi32(v, idx); },
        [](const void* c, __m256i idx) { return _mm256_i32gather_epi32(static_cast<const int*>(c), idx, 4); });
}

inline void CellPair(const float* cells, AxisSamples axis, int32_t x, __m256* lo, __m256* hi) {
    PickCells(
        cells, axis, x, lo, hi,
        [](const void* c, int32_t i) { return _mm256_loadu_ps(static_cast<const float*>(c) + i); },
        [](__m256 v, __m256i idx) { return _mm256_permutevar8x32_ps(v, idx); },
        [](const void* c, __m256i idx) { return _mm256_i32gather_ps(static_cast<const float*>(c), idx, 4); });
}

void UpsampleRowAvx2(const uint8_t* cells, AxisSamples axis, uint8_t* dst, int32_t width,
                     int32_t bpp) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c256 = _mm256_set1_epi32(256);
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i compact = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                             0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const int* base = reinterpret_cast<const int*>(cells);
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        __m256i lo, hi;
        CellPair(base, axis, x, &lo, &hi);
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(axis.wq + x));
        const __m256i v = _mm256_sub_epi32(c256, w);
        const __m256i a = _mm256_srli_epi16(
            _mm256_add_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(lo, zero), SpreadWords(v, false)),
                                 _mm256_mullo_epi16(_mm256_unpacklo_epi8(hi, zero), SpreadWords(w, false))),
                c128),
            8);
        const __m256i b = _mm256_srli_epi16(
            _mm256_add_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(lo, zero), SpreadWords(v, true)),
                                 _mm256_mullo_epi16(_mm256_unpackhi_epi8(hi, zero), SpreadWords(w, true))),
                c128),
            8);
        const __m256i px = _mm256_packus_epi16(a, b);
        if (bpp == 4) {
            Store(dst + 4 * x, px);
        } else {
            // dst rows have slack past their end: each half writes 16 bytes, 12 of them kept.
            const __m256i packed = _mm256_shuffle_epi8(px, compact);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm256_castsi256_si128(packed));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x + 12),
                             _mm256_extracti128_si256(packed, 1));
        }
    }
    const AxisSamples rest{axis.lo + x, axis.hi + x, axis.wq + x, axis.wf + x};
    UpsampleRowScalar(cells, rest, dst + static_cast<size_t>(x) * bpp, width - x, bpp);
}

void PackAvx2(const uint8_t* src, RowLayout from, const uint8_t* alpha, uint8_t* dst, RowLayout to,
              int32_t width) {
    int32_t x = 0;
    if (to.bpp == 4) {
        // Bytes of each 4-byte lane in the order of dst; the fourth byte zero.
        alignas(32) int8_t order[32];
        for (int32_t lane = 0; lane < 2; ++lane)
            for (int32_t p = 0; p < 4; ++p) {
                int8_t* o = order + 16 * lane + 4 * p;
                o[to.red] = static_cast<int8_t>(4 * p + from.red);
                o[to.green] = static_cast<int8_t>(4 * p + from.green);
                o[to.blue] = static_cast<int8_t>(4 * p + from.blue);
                o[3] = -1;
            }
        const __m256i shuffle = _mm256_load_si256(reinterpret_cast<const __m256i*>(order));
        const __m256i opaque = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
        const int32_t end = VectorEnd(width, from.bpp);
        for (; x + 8 <= end; x += 8) {
            const __m256i px = _mm256_shuffle_epi8(LoadEight(src + x * from.bpp, from.bpp), shuffle);
            const __m256i a =
                alpha == nullptr
                    ? opaque
                    : _mm256_slli_epi32(_mm256_cvtepu8_epi32(_mm_loadl_epi64(
                                            reinterpret_cast<const __m128i*>(alpha + x))),
                                        24);
            Store(dst + 4 * x, _mm256_or_si256(px, a));
        }
    }
    PackScalar(src + static_cast<size_t>(x) * from.bpp, from, alpha == nullptr ? nullptr : alpha + x,
               dst + static_cast<size_t>(x) * to.bpp, to, width - x);
}

// Shuffles that put red and green (and blue) of each pixel of a lane into
// 16-bit halves of its 32-bit lane, for a row of the given layout as
// LoadRaw delivers it.
struct LumaShuffles {
    __m256i redGreen;
    __m256i blue;
};
LumaShuffles MakeLumaShuffles(RowLayout from) {
    alignas(32) int8_t rg[32], b[32];
    for (int32_t lane = 0; lane < 2; ++lane)
        for (int32_t p = 0; p < 4; ++p) {
            const int32_t at = 16 * lane + 4 * p, base = from.bpp * p;
            rg[at] = static_cast<int8_t>(base + from.red);
            rg[at + 1] = -1;
            rg[at + 2] = static_cast<int8_t>(base + from.green);
            rg[at + 3] = -1;
            b[at] = static_cast<int8_t>(base + from.blue);
            b[at + 1] = b[at + 2] = b[at + 3] = -1;
        }
    return {_mm256_load_si256(reinterpret_cast<const __m256i*>(rg)),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(b))};
}

// Pixels x .. x+7 as loaded: 4-byte rows whole, 3-byte rows as pixels 0-3
// and 4-7 at the start of each lane (28 bytes read).
inline __m256i LoadRaw(const uint8_t* src, int32_t bpp) {
    if (bpp == 4) return Load(src);
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(src + 12),
                               reinterpret_cast<const __m128i*>(src));
}

// Luma of eight pixels as 32-bit lanes.
inline __m256i LumaEight(const uint8_t* src, int32_t bpp, const LumaShuffles& s) {
    const __m256i raw = LoadRaw(src, bpp);
    const __m256i rg = _mm256_madd_epi16(_mm256_shuffle_epi8(raw, s.redGreen), _mm256_set1_epi32(77 | (150 << 16)));
    const __m256i b = _mm256_madd_epi16(_mm256_shuffle_epi8(raw, s.blue), _mm256_set1_epi32(29));
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(rg, b), _mm256_set1_epi32(128)), 8);
}

void AccumulateLumaMaskAvx2(const uint8_t* src, RowLayout from, const uint8_t* m, uint32_t* acc,
                            int32_t width, int32_t group, uint8_t* luma) {
    const LumaShuffles shuffles = MakeLumaShuffles(from);
    const int32_t end = VectorEnd(width, from.bpp);
    int32_t x = 0;
    for (; x + 8 <= end; x += 8) {
        const __m256i y = LumaEight(src + x * from.bpp, from.bpp, shuffles);
        const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(y), _mm256_extracti128_si256(y, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(luma + x), _mm_packus_epi16(words, words));
        const __m256i mv = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + x)));
        if (group == 2) {
            // Y01 Y23 M01 M23 | Y45 Y67 M45 M67, then interleaved.
            AddTo(acc + x, _mm256_shuffle_epi32(_mm256_hadd_epi32(y, mv), 0xD8));
        } else {
            const __m256i lo = _mm256_unpacklo_epi32(y, mv);  // pixels 0, 1 | 4, 5
            const __m256i hi = _mm256_unpackhi_epi32(y, mv);  // pixels 2, 3 | 6, 7
            AddTo(acc + 2 * x, _mm256_permute2x128_si256(lo, hi, 0x20));
            AddTo(acc + 2 * x + 8, _mm256_permute2x128_si256(lo, hi, 0x31));
        }
    }
    AccumulateLumaMaskScalar(src + static_cast<size_t>(x) * from.bpp, from, m + x, acc + 2 * (x / group),
                             width - x, group, luma + x);
}

void UpsampleFloatRowAvx2(const float* cells, AxisSamples axis, float* dst, int32_t width) {
    const __m256 one = _mm256_set1_ps(1.0f);
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        __m256 lo, hi;
        CellPair(cells, axis, x, &lo, &hi);
        const __m256 w = _mm256_loadu_ps(axis.wf + x);
        _mm256_storeu_ps(dst + x, _mm256_add_ps(_mm256_mul_ps(lo, _mm256_sub_ps(one, w)),
                                                _mm256_mul_ps(hi, w)));
    }
    const AxisSamples rest{axis.lo + x, axis.hi + x, axis.wq + x, axis.wf + x};
    UpsampleFloatRowScalar(cells, rest, dst + x, width - x);
}

void RefineRowAvx2(const uint8_t* luma, const float* a0, const float* a1, const float* b0,
                   const float* b1, float w, uint8_t* out, int32_t width) {
    const __m256 wv = _mm256_set1_ps(w);
    const __m256 vv = _mm256_set1_ps(1.0f - w);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 top = _mm256_set1_ps(255.0f);
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256 y = _mm256_cvtepi32_ps(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + x))));
        const __m256 a = _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(a0 + x), vv),
                                       _mm256_mul_ps(_mm256_loadu_ps(a1 + x), wv));
        const __m256 b = _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(b0 + x), vv),
                                       _mm256_mul_ps(_mm256_loadu_ps(b1 + x), wv));
        __m256 q = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(a, y), b), half);
        q = _mm256_min_ps(_mm256_max_ps(q, zero), top);
        const __m256i i = _mm256_cvttps_epi32(q);
        const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(i), _mm256_extracti128_si256(i, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words, words));
    }
    RefineRowScalar(luma + x, a0 + x, a1 + x, b0 + x, b1 + x, w, out + x, width - x);
}

void SumRowsAvx2(const float* const* rows, int32_t count, float* dst, int32_t n) {
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 sum = _mm256_loadu_ps(rows[0] + i);
        for (int32_t j = 1; j < count; ++j) sum = _mm256_add_ps(sum, _mm256_loadu_ps(rows[j] + i));
        _mm256_storeu_ps(dst + i, sum);
    }
    if (i == n) return;
    const float* rest[kMaxSumRows];
    for (int32_t j = 0; j < count; ++j) rest[j] = rows[j] + i;
    SumRowsScalar(rest, count, dst + i, n - i);
}

}  // namespace
}  // namespace avx2

void FillRowKernelsAvx2(RowKernels& k) {
    k.blend = avx2::BlendAvx2;
    k.pack = avx2::PackAvx2;
    k.accumulateWeighted = avx2::AccumulateWeightedAvx2;
    k.upsampleRow = avx2::UpsampleRowAvx2;
    k.accumulateLumaMask = avx2::AccumulateLumaMaskAvx2;
    k.upsampleFloatRow = avx2::UpsampleFloatRowAvx2;
    k.refineRow = avx2::RefineRowAvx2;
    k.sumRows = avx2::SumRowsAvx2;
}

}  // namespace compositing
}  // namespace vidra
