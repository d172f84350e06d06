// Independent formulations of the resize routines for the tests: per pixel,
// straight from the definitions, with no tables and no shared code.
#ifndef VIDRA_TESTS_RESAMPLING_RESIZE_REFERENCE_H
#define VIDRA_TESTS_RESAMPLING_RESIZE_REFERENCE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace ref {

// Source neighbours and weights of destination position i (D >= 2).
struct Sample {
    int lo, hi;
    float w0, w1;
};

inline Sample AxisSample(int S, int D, int i) {
    const float s = static_cast<float>(S - 1) / static_cast<float>(D - 1);
    float f = static_cast<float>(i) + 0.5f;
    f = f * s;
    f = f - 0.5f;
    const int lo = std::clamp(static_cast<int>(std::trunc(f)), 0, S - 1);
    const int hi = std::clamp(static_cast<int>(std::trunc(f + 1.0f)), 0, S - 1);
    const float w1 = f - static_cast<float>(lo);
    return {lo, hi, 1.0f - w1, w1};
}

// ResizeUcharChannel: writes byte (y * dw + x) * step of dst only.
inline void Channel(const uint8_t* src, int sw, int sh, uint8_t* dst, int dw, int dh, int step) {
    for (int y = 0; y < dh; ++y) {
        const Sample ry = AxisSample(sh, dh, y);
        for (int x = 0; x < dw; ++x) {
            const Sample rx = AxisSample(sw, dw, x);
            const float p00 = src[(ry.lo * sw + rx.lo) * step];
            const float p10 = src[(ry.lo * sw + rx.hi) * step];
            const float p01 = src[(ry.hi * sw + rx.lo) * step];
            const float p11 = src[(ry.hi * sw + rx.hi) * step];
            float v = (p00 * rx.w0) * ry.w0;
            v += (p10 * rx.w1) * ry.w0;
            v += (p01 * rx.w0) * ry.w1;
            v += p11 * (rx.w1 * ry.w1);
            dst[(y * dw + x) * step] =
                static_cast<uint8_t>(std::clamp(static_cast<int>(std::trunc(v + 0.5f)), 0, 255));
        }
    }
}

// ResizeUcharMask for unequal sizes.
inline void Mask(const uint8_t* src, int sw, int sh, uint8_t* dst, int dw, int dh) {
    for (int y = 0; y < dh; ++y) {
        const Sample ry = AxisSample(sh, dh, y);
        for (int x = 0; x < dw; ++x) {
            const Sample rx = AxisSample(sw, dw, x);
            const float a = ry.w0 * rx.w0;
            const float b = rx.w0 - a;
            const float c = ry.w0 - a;
            const float d = ry.w1 - b;
            const float p00 = src[ry.lo * sw + rx.lo];
            const float p10 = src[ry.lo * sw + rx.hi];
            const float p01 = src[ry.hi * sw + rx.lo];
            const float p11 = src[ry.hi * sw + rx.hi];
            float v = p10 * c + p00 * a;
            v += p01 * b;
            v += p11 * d;
            dst[y * dw + x] =
                static_cast<uint8_t>(std::clamp(static_cast<int>(std::nearbyint(v)), 0, 255));
        }
    }
}

// ResizeFloat for unequal sizes of at least 2.
inline void Float(const float* src, int sw, int sh, float* dst, int dw, int dh) {
    const float sx = static_cast<float>(sw - 1) / static_cast<float>(dw - 1);
    const float sy = static_cast<float>(sh - 1) / static_cast<float>(dh - 1);
    for (int y = 0; y < dh; ++y) {
        const float fy = static_cast<float>(y) * sy;
        const int yi = std::min(static_cast<int>(std::trunc(fy)), sh - 2);
        const float ay = fy - static_cast<float>(yi);
        for (int x = 0; x < dw; ++x) {
            const float fx = static_cast<float>(x) * sx;
            const int xi = std::min(static_cast<int>(std::trunc(fx)), sw - 2);
            const float ax = fx - static_cast<float>(xi);
            const int k = yi * sw + xi;
            float v = (ax * src[k + 1]) * (1.0f - ay);
            v += ((1.0f - ax) * src[k]) * (1.0f - ay);
            v += (ay * src[k + sw]) * (1.0f - ax);
            v += (ax * ay) * src[k + sw + 1];
            dst[y * dw + x] = v;
        }
    }
}

// Bytes with long runs as well as noise, so that both flat and busy areas occur.
inline std::vector<uint8_t> RandomBytes(std::mt19937& rng, std::size_t n) {
    std::vector<uint8_t> v(n);
    std::uniform_int_distribution<int> byte(0, 255);
    const int mode = byte(rng) % 3;
    for (auto& b : v) b = static_cast<uint8_t>(mode == 0 ? byte(rng) : (mode == 1 ? (byte(rng) < 128 ? 0 : 255) : byte(rng) & 0xF0));
    return v;
}

}  // namespace ref

#endif
