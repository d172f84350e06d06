// libtesk.seg through its exports, on the small test models.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>

#if defined(__linux__)
#include <dirent.h>
#include <sys/resource.h>
#endif

#include "engine/test_models.h"
#include "inference/engine_api.h"

namespace {

// One direction's count and seven arrays.
struct Tensors {
    std::int32_t count = 0;
    char** names = nullptr;
    std::int32_t *d0 = nullptr, *d1 = nullptr, *d2 = nullptr, *d3 = nullptr, *types = nullptr, *formats = nullptr;
    std::int32_t Free() { return FreeTensorDesc(count, names, d0, d1, d2, d3, types, formats); }
    std::string Describe() const {  // "name NxCxHxW t<type> f<format>, ..."
        std::string s;
        char one[96];
        for (int i = 0; i < count; ++i) {
            std::snprintf(one, sizeof one, "%s%s %dx%dx%dx%d t%d f%d", i ? ", " : "", names[i], d0[i], d1[i], d2[i],
                          d3[i], types[i], formats[i]);
            s += one;
        }
        return s;
    }
};

// A created model with both descriptor sets, given back at the end.
struct Loaded {
    std::uint64_t model = 0, result = 0;
    Tensors in, out;
    bool Load(const std::string& name, std::int32_t runType = 0) {
        return CreateInference(0, TestModel(name).c_str(), 0, runType, &model, &result) == 0 &&
               CreateInputTensorDesc(model, &in.count, &in.names, &in.d0, &in.d1, &in.d2, &in.d3, &in.types,
                                     &in.formats) == 0 &&
               CreateOutputTensorDesc(result, &out.count, &out.names, &out.d0, &out.d1, &out.d2, &out.d3, &out.types,
                                      &out.formats) == 0;
    }
    std::int32_t Run(void* x, std::int32_t t) { return RunModelWithType(model, result, 1, in.names, &t, &x, nullptr); }
    float* Output() {
        std::vector<void*> data(out.count);
        EXPECT_EQ(0, GetOutputDataFromResultHandle(result, out.count, data.data()));
        return static_cast<float*>(data[0]);
    }
    ~Loaded() {
        if (model) DestroyModel(model);
        if (result) FreeResultHandle(result);
        if (in.names) in.Free();
        if (out.names) out.Free();
    }
};

// Logical N, C, H, W whatever the layout; lower ranks gain leading ones.
TEST(EngineDescribe, ReportsLogicalDimsTypesAndFormats) {
    const char* cases[][3] = {
        {"affine.tesk", "x 1x3x4x4 t0 f0", "y 1x3x4x4 t0 f0"},
        {"rank3.tesk", "x 1x2x3x5 t0 f0", "y 1x2x3x5 t0 f0"},
        {"two_inputs.tesk", "a 1x3x4x4 t0 f0, b 1x3x4x4 t0 f0", "y 1x3x4x4 t0 f0"},
        {"half_out.tesk", "x 1x3x4x4 t0 f0", "y 1x3x4x4 t1 f0"},
        {"half_in.tesk", "x 1x3x4x4 t1 f0", "y 1x3x4x4 t0 f0"},
        {"ints.tesk", "x 1x3x4x5 t4 f1", "u8 1x3x4x5 t4 f1, i8 1x3x4x5 t5 f1, i32 1x3x4x5 t2 f1, u32 1x3x4x5 t3 f1"},
        {"formats.tesk", "x 1x6x4x5 t0 f0", "y1 1x6x4x5 t0 f1, y2 1x6x4x5 t0 f2, y5 1x6x4x5 t0 f5, y7 1x6x4x5 t0 f7"},
    };
    for (const auto& c : cases) {
        Loaded m;
        ASSERT_TRUE(m.Load(c[0])) << c[0];
        EXPECT_EQ(c[1], m.in.Describe()) << c[0];
        EXPECT_EQ(c[2], m.out.Describe()) << c[0];
    }
}

TEST(EngineLifetime, EachResourceIsGivenBackOnceAndDescriptorsOutliveTheModel) {
    Loaded a;
    ASSERT_TRUE(a.Load("affine.tesk"));
    EXPECT_TRUE(DestroyModel(a.model) == 0 && DestroyModel(a.model) != 0);
    EXPECT_NE(0, a.Run(Ramp(48, 0).data(), 0));
    EXPECT_EQ("x 1x3x4x4 t0 f0", a.in.Describe());  // still readable
    EXPECT_TRUE(FreeResultHandle(a.result) == 0 && FreeResultHandle(a.result) != 0);
    a.model = a.result = 0;
    a.in.count = 2;  // arrays go back only with their own count
    EXPECT_NE(0, a.in.Free());
    a.in.count = 1;
    EXPECT_TRUE(a.in.Free() == 0 && a.in.Free() != 0);
    a.in.names = nullptr;
}

TEST(EngineRun, MatchesInputsByNameZeroesRefusedRunsAndTakesHalves) {
    Loaded m;
    ASSERT_TRUE(m.Load("two_inputs.tesk"));
    std::vector<float> a = Ramp(48, 1), b = Ramp(48, 40);
    char* reversed[2] = {m.in.names[1], m.in.names[0]};
    char* twice[2] = {m.in.names[0], m.in.names[0]};
    void* data[2] = {b.data(), a.data()};
    std::int32_t types[2] = {0, 0}, wrong[2] = {2, 2};
    ASSERT_EQ(0, RunModelWithType(m.model, m.result, 2, reversed, types, data, nullptr));
    const float* y = m.Output();
    for (int i = 0; i < 48; ++i) ASSERT_EQ(a[i] - b[i], y[i]);
    EXPECT_NE(0, RunModelWithType(m.model, m.result, 2, twice, types, data, nullptr));
    EXPECT_EQ(0.0f, y[3]) << "a refused run zeroes the outputs";
    ASSERT_EQ(0, RunModelWithType(m.model, m.result, 2, reversed, types, data, nullptr));
    EXPECT_NE(0, RunModelWithType(m.model, m.result, 2, reversed, wrong, data, nullptr));
    EXPECT_NE(0, RunModelWithType(m.model, m.result, 1, reversed, types, data, nullptr));
    EXPECT_EQ(0.0f, y[3]);

    // A float16 input given as halves (fed as float32 in the NNX tests).
    Loaded half;
    ASSERT_TRUE(half.Load("half_in.tesk"));
    std::vector<float> x = Ramp(48, 11);
    std::vector<std::uint16_t> xh(48);
    ASSERT_EQ(0, TransformDataTypeAndFormat(0, 0, 0, 1, 3, 4, 4, x.data(), 1, 0, 1, 3, 4, 4, xh.data()));
    ASSERT_EQ(0, half.Run(xh.data(), 1));
    for (int i = 0; i < 48; ++i) ASSERT_EQ(x[i], half.Output()[i]);
}

#if defined(__linux__)
int ThreadCount() {
    int n = 0;
    DIR* d = opendir("/proc/self/task");
    while (dirent* e = d ? readdir(d) : nullptr) n += e->d_name[0] != '.';
    if (d) closedir(d);
    return n;
}

// A first model sets the runtime up before counting (elsewhere its environment
// may keep a thread); the threaded type shows the count works. Working memory
// is one bounded pool: a 200-byte model whose padded copy needs 1 GiB is
// refused at its run, before the memory is taken, and the runtime serves on.
TEST(EngineRun, RunTypeZeroStartsNoThreadsAndThePoolRefusesAGibibyte) {
    std::vector<float> x = Ramp(48, 5);
    Loaded first, m, huge, threaded;
    ASSERT_TRUE(first.Load("affine.tesk"));
    const int before = ThreadCount();
    ASSERT_TRUE(m.Load("affine.tesk", 0) && huge.Load("huge_intermediate.tesk"));
    rusage r0{}, r1{};
    getrusage(RUSAGE_SELF, &r0);
    EXPECT_NE(0, huge.Run(x.data(), 0));
    getrusage(RUSAGE_SELF, &r1);
    EXPECT_LT(r1.ru_maxrss - r0.ru_maxrss, 128 * 1024) << "peak resident KiB grew";
    for (int i = 0; i < 3; ++i) ASSERT_EQ(0, m.Run(x.data(), 0));
    EXPECT_EQ(2.0f * x[7] + 1.0f, m.Output()[7]);
    EXPECT_EQ(before, ThreadCount());
    ASSERT_TRUE(threaded.Load("affine.tesk", 3));
    ASSERT_EQ(0, threaded.Run(x.data(), 0));
    EXPECT_GE(ThreadCount(), before + 2);
}
#endif

// IEEE binary16 value of a bit pattern, from the definition.
double HalfValue(std::uint16_t h) {
    const int exponent = (h >> 10) & 31, mantissa = h & 1023;
    const double v = exponent == 0    ? std::ldexp(mantissa, -24)
                     : exponent == 31 ? (mantissa ? NAN : HUGE_VAL)
                                      : std::ldexp(1024 + mantissa, exponent - 25);
    return (h >> 15) ? -v : v;
}

TEST(EngineTransform, EveryHalfConvertsExactlyRoundingToEvenAndRefusalsWriteNothing) {
    const int n = 65536;
    std::vector<std::uint16_t> halves(n), back(n);
    std::vector<float> floats(n);
    for (int i = 0; i < n; ++i) halves[i] = static_cast<std::uint16_t>(i);
    ASSERT_EQ(0, TransformDataTypeAndFormat(0, 1, 0, 1, 1, 1, n, halves.data(), 0, 0, 1, 1, 1, n, floats.data()));
    ASSERT_EQ(0, TransformDataTypeAndFormat(0, 0, 0, 1, 1, 1, n, floats.data(), 1, 0, 1, 1, 1, n, back.data()));
    for (int i = 0; i < n; ++i) {
        const double expected = HalfValue(halves[i]);
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(floats[i]) && (back[i] & 0x7c00) == 0x7c00 && (back[i] & 0x3ff)) << i;
        } else {
            ASSERT_EQ(expected, floats[i]) << i;
            ASSERT_EQ(std::signbit(expected), std::signbit(floats[i])) << i;
            ASSERT_EQ(halves[i], back[i]) << i;
        }
    }
    // Midpoints go to the even neighbour (normal and subnormal), past 65504 to infinity from 65520.
    const float in[] = {1 + 0x1p-11f, 1 + 3 * 0x1p-11f, 1 + 0x1p-11f + 0x1p-20f, 1 + 3 * 0x1p-11f - 0x1p-20f,
                        0x1p-25f,     3 * 0x1p-25f,     -(1 + 3 * 0x1p-11f),     65519.99f,
                        65520.0f,     -1e6f,            1e-9f};
    const std::uint16_t expected[] = {0x3c00, 0x3c02, 0x3c01, 0x3c01, 0x0000, 0x0002,
                                      0xbc02, 0x7bff, 0x7c00, 0xfc00, 0x0000};
    std::uint16_t out[11];
    ASSERT_EQ(0, TransformDataTypeAndFormat(0, 0, 0, 1, 1, 1, 11, in, 1, 0, 1, 1, 1, 11, out));
    for (int i = 0; i < 11; ++i) EXPECT_EQ(expected[i], out[i]) << in[i];

    // Refused: unknown codes, float to int, unequal or absurd sizes, a dead
    // model. (Layouts are converted end to end in the NNX tests.)
    std::vector<float> src(64, 1.0f), dst(64, 5.0f);
    const std::int32_t M = INT_MAX;
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 0, 3, 1, 1, 4, 4, src.data(), 0, 0, 1, 1, 4, 4, dst.data()));
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 6, 0, 1, 1, 4, 4, src.data(), 0, 0, 1, 1, 4, 4, dst.data()));
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 0, 0, 1, 1, 4, 4, src.data(), 4, 0, 1, 1, 4, 4, dst.data()));
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 0, 1, 1, 1, 4, 4, src.data(), 0, 0, 1, 4, 4, 1, dst.data()));
    EXPECT_NE(0, TransformDataTypeAndFormat(0, 0, 0, M, M, M, M, src.data(), 0, 0, M, M, M, M, dst.data()));
    EXPECT_NE(0, TransformDataTypeAndFormat(12345, 0, 0, 1, 1, 4, 4, src.data(), 0, 0, 1, 1, 4, 4, dst.data()));
    for (float v : dst) ASSERT_EQ(5.0f, v) << "a refused conversion wrote";
}

}  // namespace
