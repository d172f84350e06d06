// The NNX functions over the real engine library and ONNX Runtime.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#if defined(__linux__)
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VIDRA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIDRA_ASAN 1
#endif
#endif
#if defined(VIDRA_ASAN)
#include <sanitizer/allocator_interface.h>
#endif

#include "engine/test_models.h"
#include "inference/engine_api.h"
#include "vidra.h"

namespace {

struct Record {  // zero-filled, released at the end
    NnxModel m{};
    ~Record() { NNXRelease(&m); }
};

TEST(NnxEngine, SegmentationModelRunsOnCallerThreadAndThreaded) {
    const std::string path = std::string(VIDRA_TEST_MODEL_DIR) + "/model_144x80_2ch_nosig_sim_f32.tesk";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) GTEST_SKIP() << "segmentation model not built (make models)";
    std::fclose(f);
    std::vector<float> frame(3 * 160 * 288);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<float>((i * 7 + i / 288 * 3) % 256);
    Record a, b;
    ASSERT_EQ(0, NNXPreparePlus(path.c_str(), 0, &a.m));
    ASSERT_EQ(0, NNXPreparePlus(path.c_str(), 2, &b.m));
    EXPECT_TRUE(a.m.inputDim2[0] == 160 && a.m.inputDim3[0] == 288 && a.m.outputDim0[0] == 1 &&
                a.m.outputDim1[0] == 2 && a.m.outputDim2[0] == 80 && a.m.outputDim3[0] == 144);
    std::vector<float> ya(2 * 80 * 144), yb(2 * 80 * 144);
    ASSERT_EQ(0, NNXRunPlus(&a.m, {{frame.data(), frame.size() * 4}}, {{ya.data(), 92160}}));
    ASSERT_EQ(0, NNXRun(&b.m, frame.data(), yb.data()));
    for (std::size_t i = 0; i < ya.size(); ++i) {
        ASSERT_TRUE(std::isfinite(ya[i])) << i;
        ASSERT_NEAR(ya[i], yb[i], 1e-3f * (1.0f + std::fabs(ya[i]))) << i;
    }
}

// Bad files fail without a crash. Standard output carries the library's log,
// so neither wrapper nor engine nor runtime may write there.
TEST(NnxEngine, SmallModelRunsBadOnesFailAndNothingReachesStandardOutput) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    std::vector<float> xs[] = {Ramp(48, 1), Ramp(48, 2)}, y(48, -1.0f);
    // Refused before anything is allocated or started: unreadable or unsupported
    // files, tensors beyond the engine's bound, thread counts beyond its ceiling.
    std::vector<std::pair<std::string, std::int32_t>> refused;
    for (const char* name : {"missing.tesk", "", "empty.tesk", "truncated.tesk", "not_onnx.tesk", "bad_rank5.tesk",
                             "bad_dynamic.tesk", "bad_int64.tesk", "bad_sequence.tesk", "bad_format.tesk",
                             "bad_format5.tesk", "bad_huge_output.tesk"})
        refused.emplace_back(name, 0);
    for (std::int32_t runType : {-1, 65, 2000, INT32_MAX}) refused.emplace_back("affine.tesk", runType);
    for (const auto& [model, runType] : refused) {
        NnxModel m{};
        EXPECT_EQ(-1, NNXPreparePlus(TestModel(model).c_str(), runType, &m)) << model << " " << runType;
        EXPECT_TRUE(m.modelHandle == 0 && m.resultHandle == 0) << model;
        EXPECT_EQ(-1, NNXRun(&m, xs[0].data(), y.data())) << model;
    }
    NnxModel m{};
    for (std::int32_t runType : {0, 2}) {
        ASSERT_EQ(0, NNXPreparePlus(TestModel("affine.tesk").c_str(), runType, &m));
        for (int run = 0; run < 3; ++run) {  // the engine follows each input buffer
            std::vector<float>& in = xs[run % 2];
            ASSERT_EQ(0, NNXRun(&m, in.data(), y.data()));
            for (int i = 0; i < 48; ++i) ASSERT_EQ(2.0f * in[i] + 1.0f, y[i]) << "run type " << runType;
        }
        EXPECT_EQ(0, NNXRelease(&m));
    }
    std::fflush(stdout);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

// A padded input (format 2, 6 channels stored as 8) is read at its storage
// size, also when a float16 input is fed as float32: a buffer of the logical
// size is refused before the engine runs.
TEST(NnxEngine, HalvesAndLayoutsReallyConvertAndInputsAreReadNoFurtherThanTheirBuffers) {
    Record out, in;
    ASSERT_EQ(0, NNXPrepare(TestModel("half_out.tesk").c_str(), &out.m));
    ASSERT_EQ(0, NNXPrepare(TestModel("half_in.tesk").c_str(), &in.m));
    std::vector<float> x = Ramp(48, 4), y(48, 7.0f), z(48);
    x[0] = 1e6f;                   // beyond float16: infinity
    x[1] = std::ldexp(1.0f, -20);  // float16 subnormal, exact
    ASSERT_EQ(0, NNXRun(&out.m, x.data(), y.data()));
    ASSERT_EQ(0, NNXRun(&in.m, x.data(), z.data()));  // float32 in, narrowed by the engine
    EXPECT_TRUE(y[0] == HUGE_VALF && z[0] == HUGE_VALF);
    for (int i = 1; i < 48; ++i) EXPECT_TRUE(x[i] == y[i] && x[i] == z[i]) << i;

    // Formats 2, 5 and 7 arrive planar; format 1 is not converted and arrives interleaved.
    Record f;
    ASSERT_EQ(0, NNXPrepare(TestModel("formats.tesk").c_str(), &f.m));
    const std::size_t n = 6 * 4 * 5;
    std::vector<float> fx = Ramp(n, 9);
    std::vector<std::vector<float>> fy(4, std::vector<float>(n + 1, -9.0f));
    std::vector<NnxBuffer> outs;
    for (auto& v : fy) outs.push_back({v.data(), n * 4});
    ASSERT_EQ(0, NNXRunPlus(&f.m, {{fx.data(), n * 4}}, outs));
    for (int o = 0; o < 4; ++o) {
        const bool interleaved = f.m.outputDataFormats[o] == 1;
        for (int c = 0; c < 6; ++c)
            for (int p = 0; p < 20; ++p)
                ASSERT_EQ(2.0f * fx[c * 20 + p] + 1.0f, fy[o][interleaved ? p * 6 + c : c * 20 + p])
                    << f.m.outputNames[o] << " " << c << "," << p;
        EXPECT_EQ(-9.0f, fy[o][n]);
    }

    const std::size_t logical = n, storage = 8 * 4 * 5;
    for (const char* name : {"padded_in.tesk", "half_padded_in.tesk"}) {
        Record r;
        ASSERT_EQ(0, NNXPrepare(TestModel(name).c_str(), &r.m)) << name;
        std::vector<float> x = Ramp(storage, 3), y(logical, -3.0f);
        EXPECT_EQ(-1, NNXRunPlus(&r.m, {{x.data(), logical * 4}}, {{y.data(), logical * 4}})) << name;
        EXPECT_EQ(-1, NNXRunPlus(&r.m, {{x.data(), storage * 4 - 1}}, {{y.data(), logical * 4}})) << name;
        EXPECT_EQ(-3.0f, y[0]) << name;
        ASSERT_EQ(0, NNXRunPlus(&r.m, {{x.data(), storage * 4}}, {{y.data(), logical * 4}})) << name;
        for (int c = 0; c < 6; ++c)
            for (int p = 0; p < 20; ++p) ASSERT_EQ(2.0f * x[p * 8 + c] + 1.0f, y[c * 20 + p]) << name << " " << c;
    }
}

#if defined(__linux__)
long ResidentKiB() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr || std::fscanf(f, "%ld %ld", &pages, &resident) != 2) ADD_FAILURE() << "no /proc/self/statm";
    if (f) std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

#if defined(VIDRA_ASAN)
// The sanitizer's allocator quarantines freed blocks, so resident memory says
// nothing there; its exact count of live bytes allows fewer cycles and a tight limit.
constexpr int kWarmCycles = 50, kCycles = 300;
constexpr long kLimitKiB = 1024;
long HeldKiB() { return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024); }
#else
constexpr int kWarmCycles = 300, kCycles = 2300;
constexpr long kLimitKiB = 16 * 1024;
long HeldKiB() { return ResidentKiB(); }
#endif

// Output storage that every run overwrites is not written at preparation: a
// model with 192 MiB of output costs no resident memory until it runs. A
// session kept per cycle would add about 75 KiB (150 MiB over 2000 cycles,
// 18 MiB over 250); the allocator's own settling stays within a few MiB.
TEST(NnxEngine, PreparationTouchesNoOutputStorageAndCyclesDoNotGrowMemory) {
    Record warm, big;
    ASSERT_EQ(0, NNXPrepare(TestModel("affine.tesk").c_str(), &warm.m));
    const long resident = ResidentKiB();
    ASSERT_EQ(0, NNXPrepare(TestModel("big_output.tesk").c_str(), &big.m));
    EXPECT_LT(ResidentKiB() - resident, 32 * 1024) << "preparation made output storage resident";
    ASSERT_EQ(0, NNXRelease(&big.m));

    std::vector<float> x = Ramp(48, 0), y(48);
    long before = 0;
    for (int i = 0; i < kCycles; ++i) {
        if (i == kWarmCycles) before = HeldKiB();
        NnxModel m{};
        ASSERT_EQ(0, NNXPrepare(TestModel("affine.tesk").c_str(), &m));
        ASSERT_EQ(0, NNXRun(&m, x.data(), y.data()));
        ASSERT_EQ(0, NNXRelease(&m));
    }
    const long grown = HeldKiB() - before;
    EXPECT_LT(grown, kLimitKiB) << "memory grew by " << grown << " KiB over " << kCycles - kWarmCycles << " cycles";
}

// A FIFO named like a model is not a model file: refused at once, by the
// wrapper and by the engine, instead of waiting for a writer that never comes
// (the alarm ends a blocked test).
TEST(NnxEngine, AFifoIsRefusedWithoutBlocking) {
    const std::string fifo = TestModel("fifo_test.tesk");
    unlink(fifo.c_str());
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    alarm(60);
    NnxModel m{};
    EXPECT_EQ(-1, NNXPrepare(fifo.c_str(), &m));
    std::uint64_t model = 0, result = 0;
    EXPECT_TRUE(CreateInference(0, fifo.c_str(), 0, 0, &model, &result) != 0 || model == 0);
    alarm(0);
    unlink(fifo.c_str());
}
#endif

}  // namespace
