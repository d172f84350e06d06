// Runs of libtesk.seg on the small test models.
#include <cmath>
#include <cstring>
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

TEST(EngineRun, Float16InputFedAsFloat32OrAsHalves) {
    // Converted by the engine from float32, or given as raw halves.
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

#if defined(__linux__)
int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// Type 0 must compute on the caller's thread alone; the threaded type shows
// that the count would notice workers. The runtime's environment, made with
// the first model, keeps one idle thread of its own for the life of the
// process, so it is brought up before counting.
TEST(EngineRun, RunTypeZeroStartsNoThreads) {
    std::vector<float> x = Ramp(48, 0);
    {
        LoadedModel first;
        ASSERT_TRUE(first.Load("affine.tesk", 0));
    }
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
