#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/bounded_copy.h"
#include "common/log.h"

TEST(BoundedCopy, FollowsTheCodesAndZeroFillRules) {
    const uint8_t src[5] = {1, 2, 3, 4, 5}, A = 0xAA;
    const struct {
        bool dst, src;
        size_t size, count;
        int code;
        std::vector<uint8_t> after;  // of a destination of five 0xAA
    } cases[] = {
        {false, false, 5, 0, 0, {A, A, A, A, A}},  // count 0: nothing, whatever the pointers
        {true, false, 5, 0, 0, {A, A, A, A, A}},
        {false, true, 5, 5, 22, {A, A, A, A, A}},  // no destination: nothing written anywhere
        {true, false, 5, 3, 22, {0, 0, 0, 0, 0}},  // no source: the destination cleared
        {true, true, 4, 5, 34, {0, 0, 0, 0, A}},   // too small: cleared up to its stated size only
        {true, true, 5, 3, 0, {1, 2, 3, A, A}},    // fits: exactly count bytes
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> dst(5, A);
        EXPECT_EQ(BoundedCopy(c.dst ? dst.data() : nullptr, c.size, c.src ? src : nullptr, c.count), c.code)
            << c.size << " " << c.count;
        EXPECT_EQ(dst, c.after) << c.size << " " << c.count;
    }
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
