// Giving the engine's resources back: once each, in the wrapper's order, and
// without growth over many cycles.
#include <cstdio>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "engine_test_util.h"

namespace {

TEST(EngineLifetime, EachResourceIsReleasedOnceAndDescriptorsOutliveTheModel) {
    LoadedModel m;
    ASSERT_TRUE(m.Load("two_outputs.tesk"));
    std::vector<float> x(48, 0.5f);
    ASSERT_EQ(0, m.Run({x.data()}));

    // The wrapper's order: model, result, input arrays, output arrays.
    EXPECT_EQ(0, DestroyModel(m.model));
    EXPECT_NE(0, DestroyModel(m.model));
    EXPECT_NE(0, m.Run({x.data()}));
    EXPECT_NE(0, TransformDataTypeAndFormat(m.model, 0, 0, 1, 1, 4, 4, x.data(), 0, 0, 1, 1, 4, 4, x.data()));
    // The arrays are still readable after the model is gone.
    EXPECT_EQ(1, m.inputs.count);
    EXPECT_STREQ("x", m.inputs.names[0]);
    EXPECT_EQ(4, m.inputs.dim3[0]);
    m.model = 0;

    EXPECT_EQ(0, FreeResultHandle(m.result));
    EXPECT_NE(0, FreeResultHandle(m.result));
    void* slots[2] = {};
    EXPECT_NE(0, GetOutputDataFromResultHandle(m.result, 2, slots));
    m.result = 0;

    TensorList in = m.inputs, out = m.outputs;
    m.inputs.names = m.outputs.names = nullptr;
    // Arrays are freed only all together with their own count.
    EXPECT_NE(0, FreeTensorDesc(in.count, in.names, in.dim0, in.dim1, in.dim2, in.dim3, in.types, out.formats));
    EXPECT_NE(0, FreeTensorDesc(out.count + 1, out.names, out.dim0, out.dim1, out.dim2, out.dim3, out.types,
                                out.formats));
    EXPECT_NE(0, FreeTensorDesc(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, in.Free());
    EXPECT_EQ(0, FreeTensorDesc(out.count, out.names, out.dim0, out.dim1, out.dim2, out.dim3, out.types,
                                out.formats));
    EXPECT_NE(0, FreeTensorDesc(out.count, out.names, out.dim0, out.dim1, out.dim2, out.dim3, out.types,
                                out.formats));
    EXPECT_NE(0, DestroyModel(0));
    EXPECT_NE(0, FreeResultHandle(0));
}

#if defined(__linux__)
long ResidentKiB() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void Cycle(const std::vector<float>& x) {
    LoadedModel m;
    ASSERT_TRUE(m.Load("two_outputs.tesk"));
    std::vector<float> input = x;
    ASSERT_EQ(0, m.Run({input.data()}));
    ASSERT_EQ(0.5f + 1.0f, static_cast<const float*>(m.Outputs()[0])[0]);
}

// A full prepare, run and release cycle leaves nothing behind. A session kept
// per cycle adds about 75 KiB, so 150 MiB over the loop; the allocator's own
// settling stays within a few MiB.
TEST(EngineLifetime, ThousandsOfCyclesDoNotGrowMemory) {
    const std::vector<float> x(48, 0.5f);
    for (int i = 0; i < 300; ++i) Cycle(x);
    const long before = ResidentKiB();
    for (int i = 0; i < 2000; ++i) Cycle(x);
    const long grown = ResidentKiB() - before;
    EXPECT_LT(grown, 16 * 1024) << "resident memory grew by " << grown << " KiB over 2000 cycles";
}
#endif

}  // namespace
