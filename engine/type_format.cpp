#include "engine/type_format.h"

#include <cmath>
#include <cstring>

namespace tesk {
namespace {

std::int64_t RoundUp4(std::int64_t v) { return (v + 3) / 4 * 4; }

// Where logical element (n, c, h, w) lies: n*n + h*h + w*w plus, for the
// channel, c*c or, in the blocked layout, (c/4)*block + c%4.
struct Strides {
    std::int64_t n, c, block, h, w;
    bool blocked;

    std::int64_t At(std::int64_t in, std::int64_t ic, std::int64_t ih, std::int64_t iw) const {
        const std::int64_t channel = blocked ? (ic / 4) * block + (ic % 4) : ic * c;
        return in * n + channel + ih * h + iw * w;
    }
};

Strides StridesOf(std::int32_t format, const Dims& d) {
    const std::int64_t c4 = RoundUp4(d.c);
    switch (format) {
        case kPlanar: return {d.c * d.h * d.w, d.h * d.w, 0, d.w, 1, false};
        case kInterleaved: return {d.h * d.w * d.c, 1, 0, d.w * d.c, d.c, false};
        case kInterleavedPad4: return {d.h * d.w * c4, 1, 0, d.w * c4, c4, false};
        case kBlocked4: return {c4 * d.h * d.w, 0, d.h * d.w * 4, d.w * 4, 4, true};
        default: return {d.c * d.h * d.w, d.w * d.h, 0, 1, d.h, false};  // kPlanarTransposed
    }
}

bool MulOk(std::int64_t a, std::int64_t b, std::int64_t* out) {
    return !__builtin_mul_overflow(a, b, out);
}

struct Same {
    template <typename T>
    T operator()(T v) const { return v; }
};
struct Widen {
    float operator()(std::uint16_t v) const { return HalfToFloat(v); }
};
struct Narrow {
    std::uint16_t operator()(float v) const { return FloatToHalf(v); }
};

template <typename S, typename D, typename Convert>
void Relayout(std::int32_t srcFormat, std::int32_t dstFormat, const Dims& d, const S* src, D* dst,
              std::int64_t dstElements, Convert convert) {
    if (srcFormat == dstFormat) {
        // Same layout: a straight pass over the storage, padding lanes included.
        for (std::int64_t i = 0; i < dstElements; ++i) dst[i] = convert(src[i]);
        return;
    }
    if (dstFormat == kInterleavedPad4 || dstFormat == kBlocked4) {
        std::memset(static_cast<void*>(dst), 0, static_cast<std::size_t>(dstElements) * sizeof(D));
    }
    const Strides s = StridesOf(srcFormat, d);
    const Strides t = StridesOf(dstFormat, d);
    for (std::int64_t n = 0; n < d.n; ++n)
        for (std::int64_t c = 0; c < d.c; ++c)
            for (std::int64_t h = 0; h < d.h; ++h) {
                const S* from = src + s.At(n, c, h, 0);
                D* to = dst + t.At(n, c, h, 0);
                for (std::int64_t w = 0; w < d.w; ++w) to[w * t.w] = convert(from[w * s.w]);
            }
}

}  // namespace

int ElementSize(std::int32_t type) {
    switch (type) {
        case kFloat32: case kInt32: case kUint32: return 4;
        case kFloat16: return 2;
        case kUint8: case kInt8: return 1;
        default: return 0;
    }
}

bool IsKnownFormat(std::int32_t format) {
    return format == kPlanar || format == kInterleaved || format == kInterleavedPad4 ||
           format == kBlocked4 || format == kPlanarTransposed;
}

std::int64_t StorageElements(std::int32_t format, const Dims& d) {
    if (!IsKnownFormat(format) || d.n <= 0 || d.c <= 0 || d.h <= 0 || d.w <= 0) return -1;
    const std::int64_t channels = (format == kInterleavedPad4 || format == kBlocked4) ? RoundUp4(d.c) : d.c;
    std::int64_t count = 0;
    // Kept well below 2^62 so that byte counts of any element size still fit.
    if (!MulOk(d.n, channels, &count) || !MulOk(count, d.h, &count) || !MulOk(count, d.w, &count) ||
        count > (std::int64_t{1} << 58)) {
        return -1;
    }
    return count;
}

float HalfToFloat(std::uint16_t half) {
    const std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
    const std::uint32_t exponent = (half >> 10) & 0x1fu;
    const std::uint32_t mantissa = half & 0x3ffu;
    std::uint32_t bits;
    if (exponent == 0) {
        // Zero or subnormal: mantissa * 2^-24, exact in float.
        float magnitude = static_cast<float>(mantissa) * 5.9604644775390625e-8f;
        return sign ? -magnitude : magnitude;
    } else if (exponent == 0x1f) {
        bits = sign | 0x7f800000u | (mantissa << 13);  // infinity, or NaN keeping its payload
    } else {
        bits = sign | ((exponent + 127 - 15) << 23) | (mantissa << 13);
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint16_t FloatToHalf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint16_t sign = static_cast<std::uint16_t>((bits >> 16) & 0x8000u);
    const std::uint32_t magnitude = bits & 0x7fffffffu;
    if (magnitude > 0x7f800000u) {
        return static_cast<std::uint16_t>(sign | 0x7e00u | (magnitude >> 13 & 0x3ffu));  // quiet NaN
    }
    if (magnitude >= 0x477ff000u) return static_cast<std::uint16_t>(sign | 0x7c00u);  // >= 65520: infinity
    if (magnitude < 0x38800000u) {
        // Below the smallest normal half: a multiple of 2^-24, rounded to even.
        float scaled;
        std::memcpy(&scaled, &magnitude, sizeof scaled);
        const long steps = std::lrint(scaled * 16777216.0f);  // exact scaling; 1024 becomes the smallest normal
        return static_cast<std::uint16_t>(sign | static_cast<std::uint16_t>(steps));
    }
    const std::uint32_t rebased = magnitude - (static_cast<std::uint32_t>(127 - 15) << 23);
    std::uint32_t half = rebased >> 13;
    const std::uint32_t rest = rebased & 0x1fffu;
    if (rest > 0x1000u || (rest == 0x1000u && (half & 1u))) ++half;  // may carry into the exponent
    return static_cast<std::uint16_t>(sign | half);
}

int TransformTensor(std::int32_t srcType, std::int32_t srcFormat, const Dims& dims, const void* src,
                    std::int32_t dstType, std::int32_t dstFormat, void* dst) {
    if (src == nullptr || dst == nullptr || ElementSize(srcType) == 0 || ElementSize(dstType) == 0) return -1;
    if (StorageElements(srcFormat, dims) < 0) return -1;
    const std::int64_t dstElements = StorageElements(dstFormat, dims);
    if (dstElements < 0) return -1;
    if (srcType == dstType) {
        switch (ElementSize(srcType)) {
            case 4:
                Relayout(srcFormat, dstFormat, dims, static_cast<const std::uint32_t*>(src),
                         static_cast<std::uint32_t*>(dst), dstElements, Same{});
                return 0;
            case 2:
                Relayout(srcFormat, dstFormat, dims, static_cast<const std::uint16_t*>(src),
                         static_cast<std::uint16_t*>(dst), dstElements, Same{});
                return 0;
            default:
                Relayout(srcFormat, dstFormat, dims, static_cast<const std::uint8_t*>(src),
                         static_cast<std::uint8_t*>(dst), dstElements, Same{});
                return 0;
        }
    }
    if (srcType == kFloat16 && dstType == kFloat32) {
        Relayout(srcFormat, dstFormat, dims, static_cast<const std::uint16_t*>(src), static_cast<float*>(dst),
                 dstElements, Widen{});
        return 0;
    }
    if (srcType == kFloat32 && dstType == kFloat16) {
        Relayout(srcFormat, dstFormat, dims, static_cast<const float*>(src), static_cast<std::uint16_t*>(dst),
                 dstElements, Narrow{});
        return 0;
    }
    return -1;
}

}  // namespace tesk
