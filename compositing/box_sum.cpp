#include "compositing/box_sum.h"

#include <cstring>

namespace vidra {
namespace compositing {
namespace {
inline int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
// sumRows over n elements, in pieces its int32 count can express (the sums
// are per element, so the pieces give the bytes of one call).
void SumRows(const RowKernels& kernels, const float* const* rows, int32_t count, float* dst, size_t n) {
    constexpr size_t kPiece = size_t{1} << 30;
    if (n <= kPiece) {
        kernels.sumRows(rows, count, dst, static_cast<int32_t>(n));
        return;
    }
    const float* shifted[kMaxSumRows];
    for (size_t at = 0; at < n; at += kPiece) {
        for (int32_t j = 0; j < count; ++j) shifted[j] = rows[j] + at;
        kernels.sumRows(shifted, count, dst + at, static_cast<int32_t>(n - at < kPiece ? n - at : kPiece));
    }
}

}  // namespace

size_t BoxSumPadFloats(int32_t cells, int32_t channels, int32_t radius) {
    return (static_cast<size_t>(cells) + 2 * static_cast<size_t>(radius)) * channels;
}

void BoxSum(const float* src, float* line, float* dst, int32_t cells, int32_t rows, int32_t channels,
            int32_t radius, float* pad, const RowKernels& kernels) {
    const size_t n = static_cast<size_t>(cells) * channels;
    const int32_t taps = 2 * radius + 1;
    const float* parts[kMaxSumRows];
    for (int32_t y = 0; y < rows; ++y) {
        const float* s = src + y * n;
        std::memcpy(pad + static_cast<size_t>(radius) * channels, s, n * sizeof(float));
        for (int32_t e = 0; e < radius; ++e)
            for (int32_t c = 0; c < channels; ++c) {
                pad[static_cast<size_t>(e) * channels + c] = s[c];
                pad[(static_cast<size_t>(cells) + radius + e) * channels + c] = s[n - channels + c];
            }
        for (int32_t j = 0; j < taps; ++j) parts[j] = pad + static_cast<size_t>(j) * channels;
        SumRows(kernels, parts, taps, line + y * n, n);
    }
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t j = 0; j < taps; ++j) parts[j] = line + Clamp(y - radius + j, 0, rows - 1) * n;
        SumRows(kernels, parts, taps, dst + y * n, n);
    }
}

}  // namespace compositing
}  // namespace vidra
