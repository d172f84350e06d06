// Runs of libtesk.seg on the small test models.
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#if defined(__linux__)
#include <dirent.h>
#endif

#include "engine_test_util.h"

namespace {

// Multiples of 1/8 in [-6, 6): 2x + 1 and 2x are exact in float and half.
std::vector<float> Ramp(std::size_t n, int phase) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>((static_cast<int>(i) * 5 + phase) % 96 - 48) / 8.0f;
    return v;
}

TEST(EngineRun, AffineModelOnEveryRunTypeIntoStableStorage) {
    for (std::int32_t runType : {0, 1, 2}) {
        LoadedModel m;
        ASSERT_TRUE(m.Load("affine.tesk", runType));
        const std::size_t n = 48;
        void* storage = nullptr;
        for (int phase = 0; phase < 3; ++phase) {
            // A fresh input buffer every run: the engine must follow it.
            std::vector<float> x = Ramp(n, phase * 7);
            ASSERT_EQ(0, m.Run({x.data()})) << "run type " << runType;
            std::vector<void*> out = m.Outputs();
            if (phase == 0) storage = out[0];
            EXPECT_EQ(storage, out[0]) << "output storage moved";
            const float* y = static_cast<const float*>(out[0]);
            for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(2.0f * x[i] + 1.0f, y[i]) << "run type " << runType;
        }
    }
}

TEST(EngineRun, InputsAreMatchedByName) {
    LoadedModel m;
    ASSERT_TRUE(m.Load("two_inputs.tesk"));
    std::vector<float> a = Ramp(48, 1), b = Ramp(48, 40);
    const int ia = m.inputs.IndexOf("a"), ib = m.inputs.IndexOf("b");
    ASSERT_TRUE(ia >= 0 && ib >= 0);
    char* reversed[2] = {m.inputs.names[ib], m.inputs.names[ia]};
    void* data[2] = {b.data(), a.data()};
    std::int32_t types[2] = {0, 0};
    ASSERT_EQ(0, RunModelWithType(m.model, m.result, 2, reversed, types, data, nullptr));
    const float* y = static_cast<const float*>(m.Outputs()[0]);
    for (int i = 0; i < 48; ++i) ASSERT_EQ(a[i] - b[i], y[i]);

    char* twice[2] = {m.inputs.names[ia], m.inputs.names[ia]};
    EXPECT_NE(0, RunModelWithType(m.model, m.result, 2, twice, types, data, nullptr));
    EXPECT_EQ(0.0f, y[3]);
}

TEST(EngineRun, TwoOutputsAndFloat16Inputs) {
    LoadedModel two;
    ASSERT_TRUE(two.Load("two_outputs.tesk"));
    std::vector<float> x = Ramp(48, 3);
    ASSERT_EQ(0, two.Run({x.data()}));
    std::vector<void*> out = two.Outputs();
    const float* sum = static_cast<const float*>(out[two.outputs.IndexOf("sum")]);
    const float* mean = static_cast<const float*>(out[two.outputs.IndexOf("mean")]);
    for (int i = 0; i < 48; ++i) EXPECT_EQ(x[i] + 1.0f, sum[i]);
    for (int p = 0; p < 16; ++p) EXPECT_NEAR((x[p] + x[16 + p] + x[32 + p]) / 3.0f, mean[p], 1e-6f);

    // A float16 input is fed as float32 (converted by the engine) or as raw halves.
    LoadedModel half;
    ASSERT_TRUE(half.Load("half_in.tesk"));
    std::vector<float> xf = Ramp(48, 11);
    ASSERT_EQ(0, half.Run({xf.data()}, {0}));
    const float* y = static_cast<const float*>(half.Outputs()[0]);
    for (int i = 0; i < 48; ++i) ASSERT_EQ(2.0f * xf[i], y[i]);
    std::vector<std::uint16_t> xh(48);
    ASSERT_EQ(0, TransformDataTypeAndFormat(half.model, 0, 0, 1, 3, 4, 4, xf.data(), 1, 0, 1, 3, 4, 4, xh.data()));
    std::vector<float> before(y, y + 48);
    std::memset(const_cast<float*>(y), 0, 48 * sizeof(float));
    ASSERT_EQ(0, half.Run({xh.data()}, {1}));
    EXPECT_EQ(0, std::memcmp(before.data(), y, 48 * sizeof(float)));
}

TEST(EngineRun, RefusedRunsZeroTheOutputs) {
    LoadedModel m, other;
    ASSERT_TRUE(m.Load("affine.tesk"));
    ASSERT_TRUE(other.Load("affine.tesk"));
    std::vector<float> x = Ramp(48, 1);
    ASSERT_EQ(0, m.Run({x.data()}));
    const float* y = static_cast<const float*>(m.Outputs()[0]);
    auto outputIsZero = [&] {
        for (int i = 0; i < 48; ++i) {
            if (y[i] != 0.0f) return false;
        }
        return true;
    };
    ASSERT_FALSE(outputIsZero());

    std::int32_t type0 = 0, type2 = 2;
    void* data[2] = {x.data(), x.data()};
    char wrong[] = "z";
    char* wrongNames[1] = {wrong};
    char* nullName[1] = {nullptr};
    void* nullData[1] = {nullptr};
    struct Case {
        const char* what;
        std::uint64_t model, result;
        std::int32_t count;
        char** names;
        const std::int32_t* types;
        void** data;
    } cases[] = {
        {"wrong type", m.model, m.result, 1, m.inputs.names, &type2, data},
        {"unknown name", m.model, m.result, 1, wrongNames, &type0, data},
        {"null name", m.model, m.result, 1, nullName, &type0, data},
        {"count too small", m.model, m.result, 0, m.inputs.names, &type0, data},
        {"negative count", m.model, m.result, -1, m.inputs.names, &type0, data},
        {"null names", m.model, m.result, 1, nullptr, &type0, data},
        {"null types", m.model, m.result, 1, m.inputs.names, nullptr, data},
        {"null data list", m.model, m.result, 1, m.inputs.names, &type0, nullptr},
        {"null data", m.model, m.result, 1, m.inputs.names, &type0, nullData},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(0, m.Run({x.data()}));
        EXPECT_NE(0, RunModelWithType(c.model, c.result, c.count, c.names, c.types, c.data, nullptr)) << c.what;
        EXPECT_TRUE(outputIsZero()) << c.what;
    }
    // Handles that do not belong together or are not handles at all: nothing runs.
    EXPECT_NE(0, RunModelWithType(m.model, other.result, 1, m.inputs.names, &type0, data, nullptr));
    EXPECT_NE(0, RunModelWithType(m.result, m.model, 1, m.inputs.names, &type0, data, nullptr));
    EXPECT_NE(0, RunModelWithType(0, 0, 1, m.inputs.names, &type0, data, nullptr));
    void* slot = nullptr;
    EXPECT_NE(0, GetOutputDataFromResultHandle(m.result, 2, &slot));
    EXPECT_NE(0, GetOutputDataFromResultHandle(m.model, 1, &slot));
    EXPECT_NE(0, GetOutputDataFromResultHandle(m.result, 1, nullptr));
    EXPECT_EQ(nullptr, slot);
    // The model still runs after all of that.
    ASSERT_EQ(0, m.Run({x.data()}));
    EXPECT_EQ(2.0f * x[5] + 1.0f, y[5]);
}

// Reference layouts of the test models' outputs, element (n, c, h, w).
std::size_t Nhwc(int c, int h, int w, int C, int W) { return (static_cast<std::size_t>(h) * W + w) * C + c; }

TEST(EngineRun, IntegerOutputsInInterleavedLayout) {
    LoadedModel m;
    ASSERT_TRUE(m.Load("ints.tesk"));
    const int C = 3, H = 4, W = 5;
    std::vector<std::uint8_t> x(C * H * W);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<std::uint8_t>(i * 37 % 256);
    x[7] = 255;
    x[8] = 0;
    ASSERT_EQ(0, m.Run({x.data()}));
    std::vector<void*> out = m.Outputs();
    const auto* u8 = static_cast<const std::uint8_t*>(out[m.outputs.IndexOf("u8")]);
    const auto* i8 = static_cast<const std::int8_t*>(out[m.outputs.IndexOf("i8")]);
    const auto* i32 = static_cast<const std::int32_t*>(out[m.outputs.IndexOf("i32")]);
    const auto* u32 = static_cast<const std::uint32_t*>(out[m.outputs.IndexOf("u32")]);
    for (int c = 0; c < C; ++c)
        for (int h = 0; h < H; ++h)
            for (int w = 0; w < W; ++w) {
                const std::size_t k = Nhwc(c, h, w, C, W);
                EXPECT_EQ(255 - x[k], u8[k]);
                EXPECT_EQ(x[k] - 128, i8[k]);
                EXPECT_EQ(1000 * x[k], i32[k]);
                EXPECT_EQ(static_cast<std::uint32_t>(x[k]) * 16777216u + 1u, u32[k]);
            }
}

TEST(EngineRun, LayoutOutputsConvertBackToPlanar) {
    LoadedModel m;
    ASSERT_TRUE(m.Load("formats.tesk"));
    const int C = 6, H = 4, W = 5;
    std::vector<float> x = Ramp(C * H * W, 2);
    ASSERT_EQ(0, m.Run({x.data()}));
    std::vector<void*> out = m.Outputs();
    for (int i = 0; i < m.outputs.count; ++i) {
        std::vector<float> planar(C * H * W, -1.0f);
        ASSERT_EQ(0, TransformDataTypeAndFormat(m.model, 0, m.outputs.formats[i], 1, C, H, W, out[i], 0, 0, 1, C, H,
                                                W, planar.data()))
            << m.outputs.names[i];
        for (int k = 0; k < C * H * W; ++k) ASSERT_EQ(2.0f * x[k] + 1.0f, planar[k]) << m.outputs.names[i] << " " << k;
    }
}

#if defined(__linux__)
int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// Type 0 must leave the host's threads alone; the threaded type shows that the
// count would notice workers.
TEST(EngineRun, RunTypeZeroStartsNoThreads) {
    std::vector<float> x = Ramp(48, 0);
    const int before = ThreadCount();
    {
        LoadedModel m;
        ASSERT_TRUE(m.Load("affine.tesk", 0));
        for (int i = 0; i < 3; ++i) ASSERT_EQ(0, m.Run({x.data()}));
        EXPECT_EQ(before, ThreadCount());
    }
    LoadedModel threaded;
    ASSERT_TRUE(threaded.Load("affine.tesk", 3));
    ASSERT_EQ(0, threaded.Run({x.data()}));
    EXPECT_GE(ThreadCount(), before + 2);
}
#endif

}  // namespace
