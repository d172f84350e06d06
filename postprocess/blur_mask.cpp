#include "postprocess/blur_mask.h"

#include <immintrin.h>

#include <cstddef>

#include "common/bounded_copy.h"

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

void BlurMask(const float* source, float* destination, int32_t width, int32_t height) {
    if (!CopyPlane(source, destination, width, height)) return;
    const Offsets o(width);
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int32_t r = 1; r < height - 1; ++r) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(r) * width;
        int32_t c = 1;
        for (; c + 8 <= width - 1; c += 8) {
            const float* s = source + row + c;
            const __m256 v = _mm256_loadu_ps(s);
            __m256 sum = v;
            __m256 count = one;
            for (std::ptrdiff_t off : o.at) {
                const __m256 u = _mm256_loadu_ps(s + off);
                // Ordered compare: a NaN on either side adds nothing. A blend
                // rather than adding zero keeps the sign of a -0.0 sum.
                const __m256 lower = _mm256_cmp_ps(v, u, _CMP_GT_OQ);
                sum = _mm256_blendv_ps(sum, _mm256_add_ps(sum, u), lower);
                count = _mm256_add_ps(count, _mm256_and_ps(lower, one));
            }
            _mm256_storeu_ps(destination + row + c, _mm256_div_ps(sum, count));
        }
        for (; c < width - 1; ++c) destination[row + c] = BlurPixel(source, row + c, o);
    }
}
