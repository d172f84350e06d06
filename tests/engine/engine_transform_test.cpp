// TransformDataTypeAndFormat: float16 arithmetic and the layout codes.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine_test_util.h"

namespace {

// IEEE binary16 value of a bit pattern, from the definition.
double HalfValue(std::uint16_t h) {
    const int sign = h >> 15, exponent = (h >> 10) & 31, mantissa = h & 1023;
    double v;
    if (exponent == 0) v = std::ldexp(mantissa, -24);
    else if (exponent == 31) v = mantissa ? std::numeric_limits<double>::quiet_NaN() : HUGE_VAL;
    else v = std::ldexp(1024 + mantissa, exponent - 25);
    return sign ? -v : v;
}

std::int32_t ToFloat(const std::uint16_t* h, float* f, int n) {
    return TransformDataTypeAndFormat(0, 1, 0, 1, 1, 1, n, h, 0, 0, 1, 1, 1, n, f);
}
std::int32_t ToHalf(const float* f, std::uint16_t* h, int n) {
    return TransformDataTypeAndFormat(0, 0, 0, 1, 1, 1, n, f, 1, 0, 1, 1, 1, n, h);
}

TEST(EngineTransform, EveryHalfWidensExactlyAndNarrowsBack) {
    std::vector<std::uint16_t> halves(65536), back(65536);
    for (int i = 0; i < 65536; ++i) halves[i] = static_cast<std::uint16_t>(i);
    std::vector<float> floats(65536);
    ASSERT_EQ(0, ToFloat(halves.data(), floats.data(), 65536));
    ASSERT_EQ(0, ToHalf(floats.data(), back.data(), 65536));
    for (int i = 0; i < 65536; ++i) {
        const double expected = HalfValue(halves[i]);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(floats[i])) << i;
            EXPECT_EQ(0x7c00, back[i] & 0x7c00) << i;
            EXPECT_NE(0, back[i] & 0x3ff) << i;  // still a NaN
        } else {
            ASSERT_EQ(expected, static_cast<double>(floats[i])) << i;
            ASSERT_EQ(std::signbit(expected), std::signbit(floats[i])) << i;  // -0 stays -0
            ASSERT_EQ(halves[i], back[i]) << i;
        }
    }
}

TEST(EngineTransform, NarrowingRoundsToNearestEven) {
    // Every gap between neighbouring positive halves, subnormals included: the
    // midpoint goes to the even neighbour, a hair off it to the nearer one.
    std::vector<float> in;
    std::vector<std::uint16_t> expected;
    for (std::uint16_t lo = 0; lo < 0x7bff; ++lo) {
        const std::uint16_t hi = lo + 1;
        const double mid = (HalfValue(lo) + HalfValue(hi)) / 2;  // exact in float
        const float m = static_cast<float>(mid);
        in.push_back(m);
        expected.push_back((lo & 1) ? hi : lo);
        in.push_back(std::nextafter(m, 0.0f));
        expected.push_back(lo);
        in.push_back(std::nextafter(m, 1e9f));
        expected.push_back(hi);
        in.push_back(-m);
        expected.push_back(static_cast<std::uint16_t>(0x8000 | ((lo & 1) ? hi : lo)));
    }
    // Past the largest half (65504): below 65520 rounds down, from 65520 it overflows.
    const float big[] = {65519.99f, 65520.0f, 1e6f, -1e6f, HUGE_VALF, -HUGE_VALF, 1e-9f, -1e-9f};
    const std::uint16_t bigExpected[] = {0x7bff, 0x7c00, 0x7c00, 0xfc00, 0x7c00, 0xfc00, 0x0000, 0x8000};
    in.insert(in.end(), std::begin(big), std::end(big));
    expected.insert(expected.end(), std::begin(bigExpected), std::end(bigExpected));

    std::vector<std::uint16_t> out(in.size());
    ASSERT_EQ(0, ToHalf(in.data(), out.data(), static_cast<int>(in.size())));
    for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(expected[i], out[i]) << "input " << in[i];
}

// Offset of logical element (n, c, h, w) in each format, as documented.
std::size_t Offset(int format, int n, int c, int h, int w, int C, int H, int W) {
    const int C4 = (C + 3) / 4 * 4;
    switch (format) {
        case 0: return ((static_cast<std::size_t>(n) * C + c) * H + h) * W + w;
        case 1: return ((static_cast<std::size_t>(n) * H + h) * W + w) * C + c;
        case 2: return ((static_cast<std::size_t>(n) * H + h) * W + w) * C4 + c;
        case 5: return (((static_cast<std::size_t>(n) * (C4 / 4) + c / 4) * H + h) * W + w) * 4 + c % 4;
        default: return ((static_cast<std::size_t>(n) * C + c) * W + w) * H + h;  // 7
    }
}

TEST(EngineTransform, LayoutsConvertToPlanarAndBack) {
    const int N = 2, C = 6, H = 3, W = 5, count = N * C * H * W;
    const std::size_t padded = static_cast<std::size_t>(N) * 8 * H * W;
    auto code = [&](int n, int c, int h, int w) { return static_cast<float>(((n * 10 + c) * 10 + h) * 10 + w); };
    for (int format : {0, 1, 2, 5, 7}) {
        std::vector<float> laid(padded, -7.0f), planar(count, -1.0f), back(padded + 1, -3.0f), expected(padded, 0.0f);
        for (int n = 0; n < N; ++n)
            for (int c = 0; c < C; ++c)
                for (int h = 0; h < H; ++h)
                    for (int w = 0; w < W; ++w) {
                        laid[Offset(format, n, c, h, w, C, H, W)] = code(n, c, h, w);
                        expected[Offset(format, n, c, h, w, C, H, W)] = code(n, c, h, w);
                    }
        ASSERT_EQ(0, TransformDataTypeAndFormat(0, 0, format, N, C, H, W, laid.data(), 0, 0, N, C, H, W,
                                                planar.data()))
            << format;
        for (int n = 0; n < N; ++n)
            for (int c = 0; c < C; ++c)
                for (int h = 0; h < H; ++h)
                    for (int w = 0; w < W; ++w)
                        ASSERT_EQ(code(n, c, h, w), planar[Offset(0, n, c, h, w, C, H, W)]) << "format " << format;
        if (format == 0) continue;
        ASSERT_EQ(0, TransformDataTypeAndFormat(0, 0, 0, N, C, H, W, planar.data(), 0, format, N, C, H, W,
                                                back.data()));
        const std::size_t used = (format == 2 || format == 5) ? padded : static_cast<std::size_t>(count);
        for (std::size_t i = 0; i < used; ++i) ASSERT_EQ(expected[i], back[i]) << "format " << format << " at " << i;
        EXPECT_EQ(-3.0f, back[used]) << "wrote past the tensor";
    }

    // Bytes and halves move with the layout too; halves widen on the way.
    std::vector<std::uint8_t> bytes(count), planarBytes(count);
    std::vector<std::uint16_t> halves(count);
    std::vector<float> widened(count);
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    for (int i = 0; i < count; ++i) halves[i] = static_cast<std::uint16_t>(0x3c00 + i);
    ASSERT_EQ(0, TransformDataTypeAndFormat(0, 4, 1, N, C, H, W, bytes.data(), 4, 0, N, C, H, W, planarBytes.data()));
    ASSERT_EQ(0, TransformDataTypeAndFormat(0, 1, 7, N, C, H, W, halves.data(), 0, 0, N, C, H, W, widened.data()));
    for (int n = 0; n < N; ++n)
        for (int c = 0; c < C; ++c)
            for (int h = 0; h < H; ++h)
                for (int w = 0; w < W; ++w) {
                    const std::size_t p = Offset(0, n, c, h, w, C, H, W);
                    ASSERT_EQ(bytes[Offset(1, n, c, h, w, C, H, W)], planarBytes[p]);
                    ASSERT_EQ(HalfValue(halves[Offset(7, n, c, h, w, C, H, W)]), widened[p]);
                }
}

TEST(EngineTransform, RefusesWhatItCannotConvert) {
    std::vector<float> src(64, 1.0f), dst(64, 5.0f);
    struct Case {
        const char* what;
        std::int32_t srcType, srcFormat, d0, d1, d2, d3, dstType, dstFormat, e0, e1, e2, e3;
    } cases[] = {
        {"unknown source type", 6, 0, 1, 1, 4, 4, 0, 0, 1, 1, 4, 4},
        {"negative type", -1, 0, 1, 1, 4, 4, 0, 0, 1, 1, 4, 4},
        {"unknown destination type", 0, 0, 1, 1, 4, 4, 9, 0, 1, 1, 4, 4},
        {"integer to float", 2, 0, 1, 1, 4, 4, 0, 0, 1, 1, 4, 4},
        {"float to bytes", 0, 0, 1, 1, 4, 4, 4, 0, 1, 1, 4, 4},
        {"unknown source format", 0, 3, 1, 1, 4, 4, 0, 0, 1, 1, 4, 4},
        {"unknown destination format", 0, 0, 1, 1, 4, 4, 0, 6, 1, 1, 4, 4},
        {"dimensions differ", 0, 1, 1, 1, 4, 4, 0, 0, 1, 4, 4, 1},
        {"zero dimension", 0, 0, 1, 0, 4, 4, 0, 0, 1, 0, 4, 4},
        {"negative dimension", 0, 0, 1, -1, 4, 4, 0, 0, 1, -1, 4, 4},
        {"absurd size", 0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_NE(0, TransformDataTypeAndFormat(0, c.srcType, c.srcFormat, c.d0, c.d1, c.d2, c.d3, src.data(),
                                                c.dstType, c.dstFormat, c.e0, c.e1, c.e2, c.e3, dst.data()))
            << c.what;
    }
    for (float v : dst) ASSERT_EQ(5.0f, v) << "a refused conversion wrote";
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 0, 0, 1, 1, 4, 4, nullptr, 0, 0, 1, 1, 4, 4, dst.data()));
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 0, 0, 1, 1, 4, 4, src.data(), 0, 0, 1, 1, 4, 4, nullptr));
    // A handle that is not a live model.
    EXPECT_NE(0, TransformDataTypeAndFormat(12345, 0, 0, 1, 1, 4, 4, src.data(), 0, 0, 1, 1, 4, 4, dst.data()));
    EXPECT_EQ(0, TransformDataTypeAndFormat(0, 0, 0, 1, 1, 4, 4, src.data(), 0, 0, 1, 1, 4, 4, dst.data()));
    EXPECT_EQ(1.0f, dst[15]);
}

}  // namespace
