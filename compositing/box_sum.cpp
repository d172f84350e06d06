#include "compositing/box_sum.h"

#include <cstring>

namespace vidra {
namespace compositing {
namespace {
inline int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
}  // namespace

size_t BoxSumPadFloats(int32_t cells, int32_t channels, int32_t radius) {
    return static_cast<size_t>(cells + 2 * radius) * channels;
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
                pad[(static_cast<size_t>(cells + radius + e)) * channels + c] = s[n - channels + c];
            }
        for (int32_t j = 0; j < taps; ++j) parts[j] = pad + static_cast<size_t>(j) * channels;
        kernels.sumRows(parts, taps, line + y * n, static_cast<int32_t>(n));
    }
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t j = 0; j < taps; ++j) parts[j] = line + Clamp(y - radius + j, 0, rows - 1) * n;
        kernels.sumRows(parts, taps, dst + y * n, static_cast<int32_t>(n));
    }
}

}  // namespace compositing
}  // namespace vidra
