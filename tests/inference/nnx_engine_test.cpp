// The NNX functions over the real engine library and ONNX Runtime, with the
// small test models and, when built, the segmentation models.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vidra.h"

namespace {

std::string TestModel(const std::string& name) { return std::string(VIDRA_TEST_MODEL_DIR) + "/test/" + name; }

bool Exists(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

// A zero-filled record, released (if still valid) at the end of the test.
struct Record {
    NnxModel m;
    Record() { std::memset(&m, 0, sizeof m); }
    ~Record() { NNXRelease(&m); }
};

// Multiples of 1/8 in [-6, 6): exact through 2x + 1 and float16.
std::vector<float> Ramp(std::size_t n, int phase) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>((static_cast<int>(i) * 5 + phase) % 96 - 48) / 8.0f;
    return v;
}

TEST(NnxEngine, PrepareRunAndReleaseOnEveryRunType) {
    std::vector<float> first;
    for (std::int32_t runType : {0, 2}) {
        NnxModel m;
        std::memset(&m, 0, sizeof m);
        ASSERT_EQ(0, NNXPreparePlus(TestModel("affine.tesk").c_str(), runType, &m));
        EXPECT_EQ(1, m.inputCount);
        EXPECT_EQ(1, m.outputCount);
        EXPECT_EQ(3, m.inputDim1[0]);
        EXPECT_EQ(4, m.outputDim3[0]);
        for (int phase = 0; phase < 2; ++phase) {
            std::vector<float> x = Ramp(48, phase), y(48, -1.0f);
            ASSERT_EQ(0, NNXRun(&m, x.data(), y.data()));
            for (int i = 0; i < 48; ++i) ASSERT_EQ(2.0f * x[i] + 1.0f, y[i]) << "run type " << runType;
        }
        EXPECT_EQ(0, NNXRelease(&m));
        EXPECT_EQ(-1, NNXRelease(&m));
        std::vector<float> x(48), y(48);
        EXPECT_EQ(-1, NNXRun(&m, x.data(), y.data()));
    }
}

TEST(NnxEngine, UnusableModelsFailPreparation) {
    // The engine's own tests go through every refusal; a few reach it through the wrapper.
    const std::string cases[] = {TestModel("empty.tesk"), TestModel("not_onnx.tesk"), TestModel("bad_sequence.tesk"),
                                 std::string(VIDRA_TEST_MODEL_DIR) + "/test"};
    std::vector<float> x(48), y(48);
    for (const std::string& path : cases) {
        NnxModel m;
        std::memset(&m, 0, sizeof m);
        EXPECT_EQ(-1, NNXPrepare(path.c_str(), &m)) << path;
        EXPECT_EQ(0u, m.modelHandle) << path;
        EXPECT_EQ(0u, m.resultHandle) << path;
        EXPECT_EQ(-1, NNXRun(&m, x.data(), y.data())) << path;
        EXPECT_EQ(-1, NNXRelease(&m)) << path;
    }
    Record r;
    EXPECT_EQ(-1, NNXPreparePlus(TestModel("affine.tesk").c_str(), -1, &r.m));
}

TEST(NnxEngine, Float16ArrivesAsFloat32BothWays) {
    Record out;
    ASSERT_EQ(0, NNXPrepare(TestModel("half_out.tesk").c_str(), &out.m));
    EXPECT_EQ(1, out.m.outputDataTypes[0]);
    std::vector<float> x = Ramp(48, 4);
    x[0] = 1e6f;                  // beyond float16: infinity
    x[1] = -1e6f;
    x[2] = std::ldexp(1.0f, -20); // float16 subnormal, exact
    x[3] = -0.0f;
    x[4] = 65504.0f;              // largest float16
    std::vector<float> y(48, 7.0f);
    ASSERT_EQ(0, NNXRun(&out.m, x.data(), y.data()));
    EXPECT_EQ(HUGE_VALF, y[0]);
    EXPECT_EQ(-HUGE_VALF, y[1]);
    EXPECT_TRUE(std::signbit(y[3]) && y[3] == 0.0f);
    for (int i = 2; i < 48; ++i) EXPECT_EQ(x[i], y[i]) << i;

    Record in;
    ASSERT_EQ(0, NNXPrepare(TestModel("half_in.tesk").c_str(), &in.m));
    EXPECT_EQ(1, in.m.inputDataTypes[0]);
    std::vector<float> z(48);
    ASSERT_EQ(0, NNXRun(&in.m, x.data() + 8, z.data()));  // float32 in, narrowed by the engine
    for (int i = 0; i < 40; ++i) EXPECT_EQ(2.0f * x[8 + i], z[i]) << i;
}

TEST(NnxEngine, LayoutsBecomePlanarAndInterleavedBytesAreCopied) {
    Record f;
    ASSERT_EQ(0, NNXPrepare(TestModel("formats.tesk").c_str(), &f.m));
    ASSERT_EQ(4, f.m.outputCount);
    const std::size_t n = 6 * 4 * 5;
    std::vector<float> x = Ramp(n, 9);
    std::vector<std::vector<float>> y(4, std::vector<float>(n + 1, -9.0f));
    std::vector<NnxBuffer> outs;
    for (auto& v : y) outs.push_back({v.data(), n * 4});
    ASSERT_EQ(0, NNXRunPlus(&f.m, {{x.data(), n * 4}}, outs));
    // Formats 2, 5 and 7 arrive planar; format 1 is not converted and arrives interleaved.
    for (int o = 0; o < 4; ++o) {
        const bool interleaved = f.m.outputDataFormats[o] == 1;
        for (int c = 0; c < 6; ++c)
            for (int p = 0; p < 20; ++p) {
                const std::size_t at = interleaved ? p * 6 + c : c * 20 + p;
                ASSERT_EQ(2.0f * x[c * 20 + p] + 1.0f, y[o][at]) << f.m.outputNames[o] << " " << c << "," << p;
            }
        EXPECT_EQ(-9.0f, y[o][n]);
    }
    outs[2].size = n * 4 - 1;  // a converted output must fit its buffer too
    EXPECT_EQ(-1, NNXRunPlus(&f.m, {{x.data(), n * 4}}, outs));

    Record b;
    ASSERT_EQ(0, NNXPrepare(TestModel("ints.tesk").c_str(), &b.m));
    const int C = 3, H = 4, W = 5;
    std::vector<std::uint8_t> xb(C * H * W);
    for (std::size_t i = 0; i < xb.size(); ++i) xb[i] = static_cast<std::uint8_t>(i * 41 + 3);
    std::vector<std::uint8_t> u8(60), i8(60);
    std::vector<std::int32_t> i32(60);
    std::vector<std::uint32_t> u32(60);
    std::vector<NnxBuffer> ints(4);
    for (int o = 0; o < 4; ++o) {
        const std::string name = b.m.outputNames[o];
        ints[o] = name == "u8" ? NnxBuffer{u8.data(), 60} : name == "i8" ? NnxBuffer{i8.data(), 60}
                : name == "i32" ? NnxBuffer{i32.data(), 240} : NnxBuffer{u32.data(), 240};
        EXPECT_EQ(1, b.m.outputDataFormats[o]) << name;
    }
    ASSERT_EQ(0, NNXRunPlus(&b.m, {{xb.data(), 60}}, ints));
    // Copied as they are: interleaved, element k of the input is element k of each output.
    for (int k = 0; k < 60; ++k) {
        EXPECT_EQ(255 - xb[k], u8[k]);
        EXPECT_EQ(xb[k] - 128, static_cast<std::int8_t>(i8[k]));
        EXPECT_EQ(1000 * xb[k], i32[k]);
        EXPECT_EQ(xb[k] * 16777216u + 1u, u32[k]);
    }
}

TEST(NnxEngine, TwoOutputsNeedRunPlus) {
    Record r;
    ASSERT_EQ(0, NNXPrepare(TestModel("two_outputs.tesk").c_str(), &r.m));
    std::vector<float> x = Ramp(48, 2), sum(48, -5.0f), mean(16, -5.0f);
    EXPECT_EQ(-1, NNXRun(&r.m, x.data(), sum.data()));
    EXPECT_EQ(-5.0f, sum[0]);
    const bool sumFirst = std::string(r.m.outputNames[0]) == "sum";
    std::vector<NnxBuffer> outs = {{sum.data(), 192}, {mean.data(), 64}};
    if (!sumFirst) std::swap(outs[0], outs[1]);
    ASSERT_EQ(0, NNXRunPlus(&r.m, {{x.data(), 192}}, outs));
    for (int i = 0; i < 48; ++i) EXPECT_EQ(x[i] + 1.0f, sum[i]);
    for (int p = 0; p < 16; ++p) EXPECT_NEAR((x[p] + x[16 + p] + x[32 + p]) / 3.0f, mean[p], 1e-6f);
}

// Standard output carries the library's log lines: neither the wrapper nor
// the engine (nor the runtime under it) may write there, on success or failure.
TEST(NnxEngine, NothingReachesStandardOutput) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    for (const char* name : {"affine.tesk", "not_onnx.tesk", "bad_sequence.tesk", "bad_format5.tesk", "missing.tesk"}) {
        for (std::int32_t runType : {0, 2, -1}) {
            Record r;
            if (NNXPreparePlus(TestModel(name).c_str(), runType, &r.m) != 0) continue;
            std::vector<float> x(48), y(48);
            NNXRun(&r.m, x.data(), y.data());
            NNXRunPlus(&r.m, {{x.data(), 192}}, {{y.data(), 191}});
            NNXRunPlus(&r.m, {{x.data(), 192}, {x.data(), 192}}, {{y.data(), 192}});
        }
    }
    std::fflush(stdout);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

// The segmentation models, when the model build has produced them.
TEST(NnxEngine, SegmentationModelsRunOnCallerThreadAndThreaded) {
    const std::string small = std::string(VIDRA_TEST_MODEL_DIR) + "/model_144x80_2ch_nosig_sim_f32.tesk";
    const std::string large = std::string(VIDRA_TEST_MODEL_DIR) + "/model_640x480_9x9up_sim_f32.tesk";
    if (!Exists(small) || !Exists(large)) GTEST_SKIP() << "segmentation models not built (make models)";
    std::vector<float> frame(3 * 160 * 288);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<float>((i * 7 + i / 288 * 3) % 256);

    Record a, b;
    ASSERT_EQ(0, NNXPreparePlus(small.c_str(), 0, &a.m));
    ASSERT_EQ(0, NNXPreparePlus(small.c_str(), 2, &b.m));
    EXPECT_EQ(160, a.m.inputDim2[0]);
    EXPECT_EQ(288, a.m.inputDim3[0]);
    const std::int32_t dims[] = {a.m.outputDim0[0], a.m.outputDim1[0], a.m.outputDim2[0], a.m.outputDim3[0]};
    EXPECT_EQ(1, dims[0]);
    EXPECT_EQ(2, dims[1]);
    EXPECT_EQ(80, dims[2]);
    EXPECT_EQ(144, dims[3]);
    std::vector<float> ya(2 * 80 * 144, -1.0f), yb(2 * 80 * 144, -2.0f);
    // 1 x 2 x 80 x 144 floats are 92,160 bytes: one byte less is refused.
    EXPECT_EQ(-1, NNXRunPlus(&a.m, {{frame.data(), frame.size() * 4}}, {{ya.data(), 92159}}));
    EXPECT_EQ(-1.0f, ya[0]);
    ASSERT_EQ(0, NNXRunPlus(&a.m, {{frame.data(), frame.size() * 4}}, {{ya.data(), 92160}}));
    ASSERT_EQ(0, NNXRun(&b.m, frame.data(), yb.data()));
    for (std::size_t i = 0; i < ya.size(); ++i) {
        ASSERT_TRUE(std::isfinite(ya[i])) << i;
        ASSERT_NEAR(ya[i], yb[i], 1e-3f * (1.0f + std::fabs(ya[i]))) << i;
    }
    // Plane 0 is the negated person logit of plane 1.
    for (std::size_t i = 0; i < 80 * 144; ++i) ASSERT_NEAR(-ya[i], ya[80 * 144 + i], 1e-4f * (1.0f + std::fabs(ya[i])));

    Record c;
    ASSERT_EQ(0, NNXPrepare(large.c_str(), &c.m));
    std::vector<float> mask(480 * 640, -1.0f);
    ASSERT_EQ(0, NNXRun(&c.m, frame.data(), mask.data()));
    for (float v : mask) ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << v;
}

}  // namespace
