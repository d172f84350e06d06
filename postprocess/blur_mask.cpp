#include "postprocess/blur_mask.h"

#include <emmintrin.h>

#include <cstddef>

#include "common/bounded_copy.h"
#include "common/cpu_features.h"
#include "postprocess/blur_mask_avx2.h"

namespace {

// Copies the plane and tells whether interior pixels remain to be blurred.
bool CopyPlane(const float* source, float* destination, int32_t width, int32_t height) {
    const std::size_t bytes = (width > 0 && height > 0)
                                  ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                        sizeof(float)
                                  : 0;
    if (BoundedCopy(destination, bytes, source, bytes) != kCopyOk) return false;
    return width > 2 && height > 2;
}

// Neighbour offsets in the order their values are added to the sum.
struct Offsets {
    explicit Offsets(std::ptrdiff_t w) : at{w + 1, -w + 1, w - 1, -w - 1, -w, w, -1, 1} {}
    std::ptrdiff_t at[8];
};

inline float BlurPixel(const float* s, std::ptrdiff_t i, const Offsets& o) {
    const float v = s[i];
    float sum = v;
    int32_t count = 1;
    for (std::ptrdiff_t off : o.at) {
        const float u = s[i + off];
        if (v > u) {
            sum += u;
            ++count;
        }
    }
    return sum / static_cast<float>(count);
}

}  // namespace

void BlurMaskScalar(const float* source, float* destination, int32_t width, int32_t height) {
    if (!CopyPlane(source, destination, width, height)) return;
    const Offsets o(width);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * width;
        for (int32_t c = 1; c < width - 1; ++c) destination[row + c] = BlurPixel(source, row + c, o);
    }
}

void BlurMaskSse(const float* source, float* destination, int32_t width, int32_t height) {
    if (!CopyPlane(source, destination, width, height)) return;
    const Offsets o(width);
    const __m128 one = _mm_set1_ps(1.0f);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * width;
        int32_t c = 1;
        for (; c + 4 <= width - 1; c += 4) {
            const float* s = source + row + c;
            const __m128 v = _mm_loadu_ps(s);
            __m128 sum = v;
            __m128 count = one;
            for (std::ptrdiff_t off : o.at) {
                const __m128 u = _mm_loadu_ps(s + off);
                // Ordered compare: a NaN on either side adds nothing. A
                // select rather than adding zero keeps the sign of a -0.0 sum.
                const __m128 lower = _mm_cmpgt_ps(v, u);
                sum = _mm_or_ps(_mm_and_ps(lower, _mm_add_ps(sum, u)), _mm_andnot_ps(lower, sum));
                count = _mm_add_ps(count, _mm_and_ps(lower, one));
            }
            _mm_storeu_ps(destination + row + c, _mm_div_ps(sum, count));
        }
        for (; c < width - 1; ++c) destination[row + c] = BlurPixel(source, row + c, o);
    }
}

void BlurMask(const float* source, float* destination, int32_t width, int32_t height) {
    if (!vidra::CpuHasAvx2()) {
        BlurMaskSse(source, destination, width, height);
        return;
    }
    if (!CopyPlane(source, destination, width, height)) return;
    postprocess::avx2::BlurInterior(source, destination, width, height);
}
