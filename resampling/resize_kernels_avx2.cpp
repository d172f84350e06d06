// AVX2 twins of the resize kernels, reached only through the table when the
// processor has AVX2. The arithmetic of each kernel is that of its scalar
// twin in resize_kernels.cpp, operation for operation, so both give
// identical bits; the scalar kernels finish what a vector step cannot cover.
#include "resampling/resize_kernels.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace vidra {
namespace resampling {
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

// Destination columns per chunk: the expanded source rows of a chunk live on
// the stack (two rows of 2 x kChunk floats).
constexpr int32_t kChunk = 512;
constexpr int32_t kGroups = kChunk / 8;

// Byte gathers of one chunk: for each group of eight destination columns,
// the sixteen source bytes at base[g] hold every sample the group needs, and
// control[g] picks the eight lower (x0) and then the eight upper (x1)
// neighbours. Groups whose samples spread wider are gathered one by one.
struct ChunkGather {
    alignas(16) uint8_t control[kGroups][16];
    int32_t base[kGroups];
    bool shuffled[kGroups];
};

void PrepareGather(const int32_t* x0, const int32_t* x1, int32_t n, int32_t srcWidth,
                   ChunkGather& gather) {
    for (int32_t g = 0; g * 8 + 8 <= n; ++g) {
        const int32_t* lo = x0 + g * 8;
        const int32_t* hi = x1 + g * 8;
        // Indices grow with the column, so the first lower and the last upper
        // neighbour bound the group.
        int32_t base = lo[0];
        bool fits = srcWidth >= 16 && hi[7] - lo[0] <= 15 && lo[0] >= 0;
        if (fits && base > srcWidth - 16) base = srcWidth - 16;
        for (int32_t k = 0; fits && k < 8; ++k) {
            const int32_t a = lo[k] - base;
            const int32_t b = hi[k] - base;
            fits = a >= 0 && a < 16 && b >= 0 && b < 16;
            gather.control[g][k] = static_cast<uint8_t>(a);
            gather.control[g][8 + k] = static_cast<uint8_t>(b);
        }
        gather.base[g] = base;
        gather.shuffled[g] = fits;
    }
}

// One source row at the chunk's columns, k < n: the samples lower[k] =
// s[x0[k]] and upper[k] = s[x1[k]] as bytes and as floats.
struct ExpandedRow {
    alignas(32) float lower[kChunk];
    alignas(32) float upper[kChunk];
    alignas(32) uint8_t lowerBytes[kChunk];
    alignas(32) uint8_t upperBytes[kChunk];
};

void ExpandRow(const uint8_t* s, const int32_t* x0, const int32_t* x1, int32_t n,
               const ChunkGather& gather, ExpandedRow& row) {
    float* lower = row.lower;
    float* upper = row.upper;
    int32_t k = 0;
    for (int32_t g = 0; k + 8 <= n; ++g, k += 8) {
        if (gather.shuffled[g]) {
            const __m128i bytes = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + gather.base[g])),
                _mm_load_si128(reinterpret_cast<const __m128i*>(gather.control[g])));
            const __m128i high = _mm_srli_si128(bytes, 8);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row.lowerBytes + k), bytes);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row.upperBytes + k), high);
            _mm256_store_ps(lower + k, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)));
            _mm256_store_ps(upper + k, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(high)));
        } else {
            for (int32_t j = k; j < k + 8; ++j) {
                row.lowerBytes[j] = s[x0[j]];
                row.upperBytes[j] = s[x1[j]];
                lower[j] = s[x0[j]];
                upper[j] = s[x1[j]];
            }
        }
    }
    for (; k < n; ++k) {
        row.lowerBytes[k] = s[x0[k]];
        row.upperBytes[k] = s[x1[k]];
        lower[k] = s[x0[k]];
        upper[k] = s[x1[k]];
    }
}

// Blocks of 32 columns of one row pair where each column's four samples are
// one value P (flat mask areas: most of a person mask). With every weight
// within +-kFlatWeightLimit the four products and three sums of the mask
// formula stray from P by less than 0.01 (the weights a + b + c + d sum to
// wy0 + wy1 = 1 up to a few rounding steps), so the rounded result is P
// itself: such a block's bytes are the samples.
constexpr float kFlatWeightLimit = 4.0f;

bool WeightsWithin(const float* w, int32_t count, float limit) {
    for (int32_t i = 0; i < count; ++i) {
        if (!(w[i] >= -limit && w[i] <= limit)) return false;
    }
    return true;
}

inline __m256i Load32(const uint8_t* p) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

void FindFlatBlocks(const ExpandedRow& r0, const ExpandedRow& r1, int32_t n, bool* flat) {
    for (int32_t k = 0; k + 32 <= n; k += 32) {
        const __m256i v = Load32(r0.lowerBytes + k);
        const __m256i same = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(v, Load32(r0.upperBytes + k)),
                             _mm256_cmpeq_epi8(v, Load32(r1.lowerBytes + k))),
            _mm256_cmpeq_epi8(v, Load32(r1.upperBytes + k)));
        flat[k / 32] = _mm256_movemask_epi8(same) == -1;
    }
}

// Four groups of eight int32 lanes to 32 bytes in column order, saturated to
// 0..255. Per 128-bit lane the packs leave the four-column quarters in the
// order i0 i1 i2 i3 (low halves), then the high halves; the permutation
// restores column order.
inline __m256i PackBlock(__m256i i0, __m256i i1, __m256i i2, __m256i i3) {
    const __m256i bytes =
        _mm256_packus_epi16(_mm256_packs_epi32(i0, i1), _mm256_packs_epi32(i2, i3));
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// Eight destination values of the mask resize, rounded to int32 (nearest,
// ties to even): a = wy0 * wx0, b = wx0 - a, c = wy0 - a, d = wy1 - b,
// v = ((p10 * c + p00 * a) + p01 * b) + p11 * d.
inline __m256i Interpolate8(const float* wx0, const float* p00, const float* p10,
                            const float* p01, const float* p11, __m256 wy0, __m256 wy1) {
    const __m256 w = _mm256_loadu_ps(wx0);
    const __m256 a = _mm256_mul_ps(wy0, w);
    const __m256 b = _mm256_sub_ps(w, a);
    const __m256 c = _mm256_sub_ps(wy0, a);
    const __m256 d = _mm256_sub_ps(wy1, b);
    __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_load_ps(p10), c),
                             _mm256_mul_ps(_mm256_load_ps(p00), a));
    v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_load_ps(p01), b));
    v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_load_ps(p11), d));
    return _mm256_cvtps_epi32(v);
}

// Sixteen positions per step while at least sixteen remain, the rest scalar.
void BuildAxis(int32_t S, int32_t D, int32_t step, int32_t* i0, int32_t* i1, float* w0,
               float* w1) {
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
    BuildAxisRangeScalar(S, D, step, i, i0, i1, w0, w1);
}

// The whole mask resize. Columns go in chunks of a few hundred: each source
// row is expanded once per chunk to the float samples of every column (a
// byte shuffle per eight columns), the rows of a row pair then need only the
// formula, 32 columns per step, and blocks where all four samples are one
// value (flat mask areas) are copied.
void ResizeMask(const ResizeTableView& t, const uint8_t* src, int32_t srcWidth, uint8_t* dst) {
    const int32_t dstWidth = t.dstWidth;
    const int32_t dstHeight = t.dstHeight;
    const int32_t* x0All = t.x0;
    const int32_t* x1All = t.x1;
    const int32_t* y0 = t.y0;
    const int32_t* y1 = t.y1;
    const float* wy0 = t.wy0;
    const float* wy1 = t.wy1;
    // Two expanded source rows (lower and upper neighbours of each column):
    // a row pair shares a row with the next pair, and several destination
    // rows use one pair, so each source row is expanded once per chunk.
    ExpandedRow rows[2];
    ChunkGather gather;
    bool flat[kChunk / 32];
    const bool flatAllowed = WeightsWithin(t.wx0, dstWidth, kFlatWeightLimit) &&
                             WeightsWithin(t.wx1, dstWidth, kFlatWeightLimit) &&
                             WeightsWithin(wy0, dstHeight, kFlatWeightLimit) &&
                             WeightsWithin(wy1, dstHeight, kFlatWeightLimit);
    for (int32_t xBegin = 0; xBegin < dstWidth; xBegin += kChunk) {
        const int32_t n = dstWidth - xBegin < kChunk ? dstWidth - xBegin : kChunk;
        const int32_t* x0 = x0All + xBegin;
        const int32_t* x1 = x1All + xBegin;
        const float* wx0 = t.wx0 + xBegin;
        PrepareGather(x0, x1, n, srcWidth, gather);
        int32_t held[2] = {0, 0};
        bool valid[2] = {false, false};
        // The flat blocks are found on the second destination row of a row
        // pair, so pairs used once (a reduction) never pay for the search.
        int32_t pairRow0 = 0, pairRow1 = 0, pairUses = 0;
        for (int32_t y = 0; y < dstHeight; ++y) {
            const int32_t row0 = MulWrap(y0[y], srcWidth);
            const int32_t row1 = MulWrap(y1[y], srcWidth);
            if (pairUses > 0 && row0 == pairRow0 && row1 == pairRow1) {
                ++pairUses;
            } else {
                pairRow0 = row0;
                pairRow1 = row1;
                pairUses = 1;
            }
            int32_t s0 = valid[0] && held[0] == row0 ? 0 : (valid[1] && held[1] == row0 ? 1 : -1);
            if (s0 < 0) {
                s0 = valid[0] && held[0] == row1 ? 1 : 0;
                ExpandRow(src + row0, x0, x1, n, gather, rows[s0]);
                held[s0] = row0;
                valid[s0] = true;
            }
            int32_t s1 = s0;
            if (row1 != row0) {
                s1 = 1 - s0;
                if (!valid[s1] || held[s1] != row1) {
                    ExpandRow(src + row1, x0, x1, n, gather, rows[s1]);
                    held[s1] = row1;
                    valid[s1] = true;
                }
            }
            const float* p00 = rows[s0].lower;
            const float* p10 = rows[s0].upper;
            const float* p01 = rows[s1].lower;
            const float* p11 = rows[s1].upper;
            const __m256 vy0 = _mm256_set1_ps(wy0[y]);
            const __m256 vy1 = _mm256_set1_ps(wy1[y]);
            uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstWidth + xBegin;
            if (flatAllowed && pairUses == 2) FindFlatBlocks(rows[s0], rows[s1], n, flat);
            const bool useFlat = flatAllowed && pairUses >= 2;
            int32_t k = 0;
            // Saturating packs clamp to 0..255; the conversion's INT32_MIN
            // for NaN or overflow gives 0, as in the scalar kernel.
            for (; k + 32 <= n; k += 32) {
                if (useFlat && flat[k / 32]) {
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), Load32(rows[s0].lowerBytes + k));
                    continue;
                }
                const __m256i i0 = Interpolate8(wx0 + k, p00 + k, p10 + k, p01 + k, p11 + k, vy0, vy1);
                const __m256i i1 = Interpolate8(wx0 + k + 8, p00 + k + 8, p10 + k + 8, p01 + k + 8,
                                                p11 + k + 8, vy0, vy1);
                const __m256i i2 = Interpolate8(wx0 + k + 16, p00 + k + 16, p10 + k + 16,
                                                p01 + k + 16, p11 + k + 16, vy0, vy1);
                const __m256i i3 = Interpolate8(wx0 + k + 24, p00 + k + 24, p10 + k + 24,
                                                p01 + k + 24, p11 + k + 24, vy0, vy1);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), PackBlock(i0, i1, i2, i3));
            }
            for (; k + 8 <= n; k += 8) {
                const __m256i i = Interpolate8(wx0 + k, p00 + k, p10 + k, p01 + k, p11 + k, vy0, vy1);
                const __m128i words =
                    _mm_packs_epi32(_mm256_castsi256_si128(i), _mm256_extracti128_si256(i, 1));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(words, words));
            }
            for (; k < n; ++k) {
                const float a = wy0[y] * wx0[k];
                const float b = wx0[k] - a;
                const float c = wy0[y] - a;
                const float d = wy1[y] - b;
                out[k] = RoundToByte(((p10[k] * c + p00[k] * a) + p01[k] * b) + p11[k] * d);
            }
        }
    }
}

// Eight columns per step: samples by permutes of eight loaded floats where
// an enlargement keeps them that close, else by gathers.
void FloatRowKernel(const FloatRow& row, const FloatAxis& cols, int32_t dstWidth, float* dstRow) {
    const float* src0 = row.src0;
    const float* src1 = row.src1;
    const int32_t maxIndex = cols.maxIndex;
    const int32_t next = cols.next;
    const __m256 vay = _mm256_set1_ps(row.ay);
    const __m256 oy = _mm256_set1_ps(row.oneMinusAy);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 vscale = _mm256_set1_ps(cols.scale);
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
        // Where the eight columns' samples lie within eight floats of the
        // row (an enlargement), two loads and permutes replace the gathers.
        const int32_t first = _mm256_cvtsi256_si32(xi);
        const int32_t last = _mm256_extract_epi32(xi, 7);
        __m256 p00, p10, p01, p11;
        if (last + next - first <= 7 && first + 7 <= maxIndex + next) {
            const __m256i at = _mm256_sub_epi32(xi, _mm256_set1_epi32(first));
            const __m256i atNext = _mm256_add_epi32(at, _mm256_set1_epi32(next));
            const __m256 r0 = _mm256_loadu_ps(src0 + first);
            const __m256 r1 = _mm256_loadu_ps(src1 + first);
            p00 = _mm256_permutevar8x32_ps(r0, at);
            p10 = _mm256_permutevar8x32_ps(r0, atNext);
            p01 = _mm256_permutevar8x32_ps(r1, at);
            p11 = _mm256_permutevar8x32_ps(r1, atNext);
        } else {
            p00 = _mm256_i32gather_ps(src0, xi, 4);
            p10 = _mm256_i32gather_ps(s0next, xi, 4);
            p01 = _mm256_i32gather_ps(src1, xi, 4);
            p11 = _mm256_i32gather_ps(s1next, xi, 4);
        }
        __m256 v = _mm256_mul_ps(_mm256_mul_ps(ax, p10), oy);
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(ox, p00), oy));
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(vay, p01), ox));
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(ax, vay), p11));
        _mm256_storeu_ps(dstRow + x, v);
        pos = _mm256_add_epi32(pos, eight);
    }
    FloatColumnsScalar(row, cols, x, dstWidth, dstRow);
}

// Columns whose four samples the dword gathers may read: a gather at index i
// reads bytes i .. i + 3, which must not pass the last byte the scalar kernel
// reads (x1 of the last column; indices never decrease).
int32_t GatherableColumns(const ResizeTableView& t) {
    int32_t n = t.dstWidth;
    const int32_t limit = t.x1[n - 1] - 3;
    while (n > 0 && t.x1[n - 1] > limit) --n;
    return n;
}

// Byte `byte` of each dword, zero-extended, as float: the byte shuffle
// `pick` holds byte in the low byte of each dword and 0x80 (zero) above.
inline __m256 Channel(__m256i dwords, __m256i pick) {
    return _mm256_cvtepi32_ps(_mm256_shuffle_epi8(dwords, pick));
}

inline __m256i Pick(int32_t byte) {
    const int32_t b = byte;
    return _mm256_setr_epi8(b, -128, -128, -128, b + 4, -128, -128, -128, b + 8, -128, -128, -128, b + 12, -128,
                            -128, -128, b, -128, -128, -128, b + 4, -128, -128, -128, b + 8, -128, -128, -128,
                            b + 12, -128, -128, -128);
}

// Eight columns per step: each pixel's bytes by one dword gather per sample;
// the three channels packed into pixels and stored together.
void PixelRow(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y, int32_t step,
              bool swapRedBlue, uint8_t* dstRow) {
    const __m256 wy0 = _mm256_set1_ps(t.wy0[y]);
    const __m256 wy1 = _mm256_set1_ps(t.wy1[y]);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c255 = _mm256_set1_epi32(255);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
    const __m256i compact = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                             0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i picks[3] = {Pick(swapRedBlue ? 2 : 0), Pick(1), Pick(swapRedBlue ? 0 : 2)};
    // A dword read at the last column's x1 would pass the scalar reads by one
    // byte: such columns are left to the scalar kernel.
    int32_t end = t.dstWidth;
    while (end > 0 && t.x1[end - 1] > t.x1[t.dstWidth - 1] - 1) --end;
    const int* s0 = reinterpret_cast<const int*>(src0);
    const int* s1 = reinterpret_cast<const int*>(src1);
    int32_t x = 0;
    for (; x + 8 <= end; x += 8) {
        const __m256i i0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.x0 + x));
        const __m256i i1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.x1 + x));
        const __m256i d00 = _mm256_i32gather_epi32(s0, i0, 1);
        const __m256i d10 = _mm256_i32gather_epi32(s0, i1, 1);
        const __m256i d01 = _mm256_i32gather_epi32(s1, i0, 1);
        const __m256i d11 = _mm256_i32gather_epi32(s1, i1, 1);
        const __m256 wa = _mm256_loadu_ps(t.wx0 + x);
        const __m256 wb = _mm256_loadu_ps(t.wx1 + x);
        __m256i px = zero;
        for (int32_t c = 0; c < 3; ++c) {
            const __m256i pick = picks[c];
            __m256 v = _mm256_mul_ps(_mm256_mul_ps(Channel(d00, pick), wa), wy0);
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(Channel(d10, pick), wb), wy0));
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(Channel(d01, pick), wa), wy1));
            v = _mm256_add_ps(v, _mm256_mul_ps(Channel(d11, pick), _mm256_mul_ps(wb, wy1)));
            // Clamped as ClampByte (INT32_MIN, for NaN or overflow, gives 0).
            const __m256i q = _mm256_min_epi32(
                _mm256_max_epi32(_mm256_cvttps_epi32(_mm256_add_ps(v, half)), zero), c255);
            px = _mm256_or_si256(px, _mm256_slli_epi32(q, 8 * c));
        }
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(x) * step;
        if (step == 4) {
            const __m256i kept = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(out)), alpha);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_or_si256(px, kept));
        } else {
            const __m256i packed = _mm256_shuffle_epi8(px, compact);
            const __m128i lo = _mm256_castsi256_si128(packed);
            const __m128i hi = _mm256_extracti128_si256(packed, 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), lo);
            const int32_t loTail = _mm_cvtsi128_si32(_mm_srli_si128(lo, 8));
            __builtin_memcpy(out + 8, &loTail, 4);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), hi);
            const int32_t hiTail = _mm_cvtsi128_si32(_mm_srli_si128(hi, 8));
            __builtin_memcpy(out + 20, &hiTail, 4);
        }
    }
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t from = swapRedBlue ? 2 - c : c;
        ChannelColumnsScalar(src0 + from, src1 + from, t, y, step, x, t.dstWidth, dstRow + c);
    }
}

// Eight columns per step, samples by dword gathers.
void ChannelRow(const uint8_t* src0, const uint8_t* src1, const ResizeTableView& t, int32_t y,
                int32_t step, uint8_t* dstRow) {
    const __m256 wy0 = _mm256_set1_ps(t.wy0[y]);
    const __m256 wy1 = _mm256_set1_ps(t.wy1[y]);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256i low = _mm256_set1_epi32(0xFF);
    const int32_t end = t.dstWidth > 0 ? GatherableColumns(t) : 0;
    const int* s0 = reinterpret_cast<const int*>(src0);
    const int* s1 = reinterpret_cast<const int*>(src1);
    int32_t x = 0;
    for (; x + 8 <= end; x += 8) {
        const __m256i i0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.x0 + x));
        const __m256i i1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.x1 + x));
        const __m256 p00 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_i32gather_epi32(s0, i0, 1), low));
        const __m256 p10 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_i32gather_epi32(s0, i1, 1), low));
        const __m256 p01 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_i32gather_epi32(s1, i0, 1), low));
        const __m256 p11 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_i32gather_epi32(s1, i1, 1), low));
        const __m256 wa = _mm256_loadu_ps(t.wx0 + x);
        const __m256 wb = _mm256_loadu_ps(t.wx1 + x);
        __m256 v = _mm256_mul_ps(_mm256_mul_ps(p00, wa), wy0);
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(p10, wb), wy0));
        v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(p01, wa), wy1));
        v = _mm256_add_ps(v, _mm256_mul_ps(p11, _mm256_mul_ps(wb, wy1)));
        const __m256i q = _mm256_cvttps_epi32(_mm256_add_ps(v, half));
        // Saturating packs clamp to 0..255 (INT32_MIN gives 0, as ClampByte).
        const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1));
        const __m128i bytes = _mm_packus_epi16(words, words);
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(x) * step;
        if (step == 1) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
        } else {
            uint64_t b = static_cast<uint64_t>(_mm_cvtsi128_si64(bytes));
            for (int32_t k = 0; k < 8; ++k, b >>= 8) out[k * step] = static_cast<uint8_t>(b);
        }
    }
    ChannelColumnsScalar(src0, src1, t, y, step, x, t.dstWidth, dstRow);
}

}  // namespace
}  // namespace avx2

void FillResizeKernelsAvx2(ResizeKernels& k) {
    k.buildAxis = avx2::BuildAxis;
    k.channelRow = avx2::ChannelRow;
    k.pixelRow = avx2::PixelRow;
    k.resizeMask = avx2::ResizeMask;
    k.floatRow = avx2::FloatRowKernel;
}

}  // namespace resampling
}  // namespace vidra
