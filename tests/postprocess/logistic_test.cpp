#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "postprocess/logistic.h"

namespace {

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float FromBits(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// Distance in units in the last place between two non-negative floats
// (+inf counts as the float after the largest one).
int64_t UlpDistance(float a, float b) {
    return std::llabs(static_cast<int64_t>(Bits(a)) - static_cast<int64_t>(Bits(b)));
}

constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

// Against double-precision exp over a sweep of the whole useful range, both
// signs, including results that overflow, underflow and are subnormal.
TEST(ExpScalar, WithinOneUlpOfExp) {
    int64_t worst = 0;
    float worstAt = 0.0f;
    for (uint32_t sign : {0u, 0x80000000u}) {
        const uint32_t limit = sign ? Bits(105.0f) : Bits(90.0f);
        for (uint32_t b = 0; b <= limit; b += 613) {
            const float x = FromBits(b | sign);
            const float expect = static_cast<float>(std::exp(static_cast<double>(x)));
            const int64_t d = UlpDistance(ExpScalar(x), expect);
            if (d > worst) {
                worst = d;
                worstAt = x;
            }
        }
    }
    EXPECT_LE(worst, 1) << "at " << worstAt;

    EXPECT_EQ(ExpScalar(0.0f), 1.0f);
    EXPECT_EQ(ExpScalar(-0.0f), 1.0f);
    EXPECT_EQ(ExpScalar(kInf), kInf);
    EXPECT_EQ(Bits(ExpScalar(-kInf)), 0u);
    EXPECT_EQ(ExpScalar(88.8f), kInf);
    EXPECT_EQ(ExpScalar(1e30f), kInf);
    EXPECT_LT(ExpScalar(88.72283f), kInf);
    EXPECT_EQ(Bits(ExpScalar(-104.0f)), 0u);
    EXPECT_EQ(Bits(ExpScalar(-1e30f)), 0u);
    EXPECT_EQ(ExpScalar(-103.0f), FromBits(1));  // the smallest subnormal
    // A NaN comes back unchanged, payload and sign included.
    EXPECT_EQ(Bits(ExpScalar(FromBits(0xFFC01234u))), 0xFFC01234u);
}

// The AVX2 activation against the scalar one, bit for bit: random lengths
// (so every remainder length occurs) and values from ordinary logits to
// arbitrary bit patterns (NaN, infinities, subnormals, huge magnitudes).
TEST(Logistic, VectorMatchesScalarBitForBit) {
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> length(0, 70);
    std::uniform_real_distribution<float> logit(-20.0f, 20.0f);
    std::uniform_real_distribution<float> wide(-200.0f, 200.0f);
    std::uniform_int_distribution<uint32_t> anyBits;
    const float specials[] = {0.0f, -0.0f, kInf, -kInf, std::numeric_limits<float>::quiet_NaN(),
                              FromBits(0x7F800001u), FromBits(1), 88.72283f, -88.72283f,
                              103.5f, -103.5f, 1e-30f, 3.4e38f, -3.4e38f};
    for (int iter = 0; iter < 4000; ++iter) {
        std::vector<float> v(length(rng));
        const int mode = iter % 4;
        for (auto& f : v) {
            if (mode == 0) f = logit(rng);
            else if (mode == 1) f = wide(rng);
            else if (mode == 2) f = FromBits(anyBits(rng));
            else f = specials[anyBits(rng) % (sizeof specials / sizeof specials[0])];
        }
        std::vector<float> scalar(v);
        LogisticInPlace(v.data(), v.size());
        LogisticInPlaceScalar(scalar.data(), scalar.size());
        ASSERT_EQ(0, std::memcmp(v.data(), scalar.data(), v.size() * sizeof(float))) << "iteration " << iter;
    }
}

TEST(Logistic, Values) {
    std::vector<float> v = {0.0f, 200.0f, -200.0f, kInf, -kInf,
                            std::numeric_limits<float>::quiet_NaN(), 2.0f, -3.5f, 10.0f};
    LogisticInPlace(v.data(), v.size());
    EXPECT_EQ(v[0], 0.5f);
    EXPECT_EQ(v[1], 1.0f);
    EXPECT_EQ(v[2], 0.0f);
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[4], 0.0f);
    EXPECT_TRUE(std::isnan(v[5]));
    const double in[3] = {2.0, -3.5, 10.0};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[6 + i], 1.0 / (1.0 + std::exp(-in[i])), 2e-7);

    // Every value of a plane of the working size, against double precision.
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> logit(-30.0f, 30.0f);
    std::vector<float> plane(288 * 160 + 3);
    for (auto& f : plane) f = logit(rng);
    std::vector<float> out(plane);
    LogisticInPlace(out.data(), out.size());
    for (size_t i = 0; i < plane.size(); ++i) {
        const double expect = 1.0 / (1.0 + std::exp(-static_cast<double>(plane[i])));
        ASSERT_NEAR(out[i], expect, 3e-7 * expect) << plane[i];
    }
    LogisticInPlace(nullptr, 5);  // nothing to do, no crash
}
