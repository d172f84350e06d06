#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/bounded_copy.h"
#include "common/log.h"

TEST(BoundedCopy, FollowsTheCodesAndZeroFillRules) {
    std::vector<uint8_t> src = {1, 2, 3, 4, 5};
    std::vector<uint8_t> dst(5, 0xAA);

    // Count 0 does nothing, whatever the pointers.
    EXPECT_EQ(BoundedCopy(nullptr, 5, nullptr, 0), 0);
    EXPECT_EQ(BoundedCopy(dst.data(), 5, nullptr, 0), 0);
    EXPECT_EQ(dst, std::vector<uint8_t>(5, 0xAA));

    // Null destination: 22 and nothing written anywhere.
    EXPECT_EQ(BoundedCopy(nullptr, 5, src.data(), 5), 22);

    // Null source: the whole destination is cleared.
    EXPECT_EQ(BoundedCopy(dst.data(), 5, nullptr, 3), 22);
    EXPECT_EQ(dst, std::vector<uint8_t>(5, 0));

    // Too small: cleared up to its stated size only, 34.
    std::fill(dst.begin(), dst.end(), 0xAA);
    EXPECT_EQ(BoundedCopy(dst.data(), 4, src.data(), 5), 34);
    EXPECT_EQ(dst, (std::vector<uint8_t>{0, 0, 0, 0, 0xAA}));

    // Fits: exactly count bytes copied.
    std::fill(dst.begin(), dst.end(), 0xAA);
    EXPECT_EQ(BoundedCopy(dst.data(), 5, src.data(), 3), 0);
    EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 3, 0xAA, 0xAA}));
}

TEST(LogPrintf, WritesExactlyTheFormattedText) {
    testing::internal::CaptureStdout();
    LogPrintf("a %d|", 5);
    LogPrintf("%s %% %.2f\n", "x", 0.5);
    LogPrintf("%f", static_cast<double>(0.0f / [] { volatile float z = 0.0f; return z; }()));
    std::fflush(stdout);
    // glibc prints the sign of a NaN, the Windows C99 printf does not.
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out == "a 5|x % 0.50\n-nan" || out == "a 5|x % 0.50\nnan") << out;
}
