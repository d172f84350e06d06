#include "composite.h"

#include <algorithm>

namespace vseg {
namespace {

// Box average by multiplication: sum * mul >> 24, mul = 2^24 / (2r + 1).
struct BoxDivider {
    explicit BoxDivider(int radius) {
        const uint64_t n = static_cast<uint64_t>(2 * radius + 1);
        mul = ((1ull << 24) + n / 2) / n;
    }
    uint8_t operator()(uint32_t sum) const {
        return static_cast<uint8_t>((sum * mul + (1ull << 23)) >> 24);
    }
    uint64_t mul;
};

// One horizontal box pass over RGB rows, edges repeated.
void BoxRows(const uint8_t* src, uint8_t* dst, int width, int height, int radius, const BoxDivider& div) {
    const int last = width - 1;
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = src + static_cast<size_t>(y) * width * 3;
        uint8_t* d = dst + static_cast<size_t>(y) * width * 3;
        for (int c = 0; c < 3; ++c) {
            uint32_t sum = static_cast<uint32_t>(radius + 1) * s[c];
            for (int i = 1; i <= radius; ++i) sum += s[std::min(i, last) * 3 + c];
            for (int x = 0; x < width; ++x) {
                d[x * 3 + c] = div(sum);
                sum += s[std::min(x + radius + 1, last) * 3 + c];
                sum -= s[std::max(x - radius, 0) * 3 + c];
            }
        }
    }
}

// One vertical box pass over RGB rows, edges repeated; keeps one running sum
// per row element so that rows are read in order.
void BoxColumns(const uint8_t* src, uint8_t* dst, int width, int height, int radius, const BoxDivider& div,
                std::vector<uint32_t>& sums) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const int last = height - 1;
    auto row = [&](int y) { return src + static_cast<size_t>(y) * rowBytes; };
    sums.assign(rowBytes, 0);
    for (size_t i = 0; i < rowBytes; ++i) sums[i] = static_cast<uint32_t>(radius + 1) * row(0)[i];
    for (int k = 1; k <= radius; ++k) {
        const uint8_t* r = row(std::min(k, last));
        for (size_t i = 0; i < rowBytes; ++i) sums[i] += r[i];
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* d = dst + static_cast<size_t>(y) * rowBytes;
        const uint8_t* add = row(std::min(y + radius + 1, last));
        const uint8_t* sub = row(std::max(y - radius, 0));
        for (size_t i = 0; i < rowBytes; ++i) {
            d[i] = div(sums[i]);
            sums[i] += add[i];
            sums[i] -= sub[i];
        }
    }
}

inline uint8_t Mix(unsigned f, unsigned b, unsigned m) {
    return static_cast<uint8_t>((f * m + b * (255u - m) + 127u) / 255u);
}

}  // namespace

int DefaultBlurRadius(int width, int height) {
    return std::max(2, std::min(width, height) / 40);
}

void BlurBackground(const uint8_t* src, int width, int height, int step, int radius,
                    std::vector<uint8_t>& dst, std::vector<uint8_t>& scratch) {
    const size_t pixels = static_cast<size_t>(width) * height;
    dst.resize(pixels * 3);
    scratch.resize(pixels * 3);
    for (size_t p = 0; p < pixels; ++p) {
        dst[p * 3 + 0] = src[p * step + 0];
        dst[p * 3 + 1] = src[p * step + 1];
        dst[p * 3 + 2] = src[p * step + 2];
    }
    if (radius <= 0 || pixels == 0) return;
    const BoxDivider div(radius);
    std::vector<uint32_t> sums;
    for (int pass = 0; pass < 3; ++pass) {
        BoxRows(dst.data(), scratch.data(), width, height, radius, div);
        BoxColumns(scratch.data(), dst.data(), width, height, radius, div, sums);
    }
}

void BlendOver(const uint8_t* fg, int step, const uint8_t* bg, const uint8_t* mask, size_t pixels,
               uint8_t* out) {
    for (size_t p = 0; p < pixels; ++p) {
        const unsigned m = mask[p];
        for (int c = 0; c < 3; ++c) out[p * 3 + c] = Mix(fg[p * step + c], bg[p * 3 + c], m);
    }
}

void BlendOverColor(const uint8_t* fg, int step, const uint8_t color[3], const uint8_t* mask,
                    size_t pixels, uint8_t* out) {
    for (size_t p = 0; p < pixels; ++p) {
        const unsigned m = mask[p];
        for (int c = 0; c < 3; ++c) out[p * 3 + c] = Mix(fg[p * step + c], color[c], m);
    }
}

void AttachAlpha(const uint8_t* fg, int step, const uint8_t* mask, size_t pixels, uint8_t* out) {
    for (size_t p = 0; p < pixels; ++p) {
        out[p * 4 + 0] = fg[p * step + 0];
        out[p * 4 + 1] = fg[p * step + 1];
        out[p * 4 + 2] = fg[p * step + 2];
        out[p * 4 + 3] = mask[p];
    }
}

}  // namespace vseg
