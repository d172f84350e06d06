// The core library as a host links it: only libvidracore / vidracore.dll and
// vidra_core.h. It reports what each frame did and refuses calls on an
// instance from that instance's own log callback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_test_frames.h"
#include "exports/host_test_support.h"
#include "vidra_core.h"

namespace {

struct Instance {
    VidraSegmenter* segmenter = nullptr;
    explicit Instance(VidraLogCallback callback = nullptr, void* user = nullptr) {
        VidraSegmenterOptions options;
        VidraSegmenterOptionsInit(&options);
        options.width = 96, options.height = 64, options.modelPath = kModelDir.c_str();
        options.logCallback = callback, options.logUser = user, options.logLevel = VIDRA_LOG_DEBUG;
        EXPECT_EQ(VidraSegmenterCreate(&options, &segmenter), VIDRA_STATUS_OK);
    }
    ~Instance() { VidraSegmenterDestroy(segmenter); }
};

TEST(CoreLibrary, FrameInfoTellsNetworkRunsFromAnsweredFramesAndItsPartsAddUp) {
    Instance withInfo, plain;
    std::vector<uint8_t> moving = Pattern(96, 64, 0), a(96 * 64), b(96 * 64);
    const VidraMask maskA{96, 64, 96, 0, a.data()}, maskB{96, 64, 96, 0, b.data()};
    // First frame, the same frame again, then a different one.
    const int shifts[] = {0, 0, 5};
    const int expectRan[] = {1, 0, 1};
    for (int i = 0; i < 3; ++i) {
        moving = Pattern(96, 64, shifts[i]);
        const VidraImage frame = RgbImageOf(moving, 96, 64);
        VidraFrameInfo info{};
        info.structSize = sizeof info;
        info.networkRan = -7;
        ASSERT_EQ(VidraSegmenterProcessWithInfo(withInfo.segmenter, &frame, &maskA, &info), VIDRA_STATUS_OK);
        ASSERT_EQ(VidraSegmenterProcess(plain.segmenter, &frame, &maskB), VIDRA_STATUS_OK);
        EXPECT_EQ(a, b) << "frame " << i;
        EXPECT_EQ(info.networkRan, expectRan[i]) << "frame " << i;
        EXPECT_GE(info.inputMs, 0.0);
        EXPECT_GE(info.inferenceMs, 0.0);
        EXPECT_GE(info.postprocessMs, 0.0);
        EXPECT_NEAR(info.inputMs + info.inferenceMs + info.postprocessMs, info.totalMs, 1e-9);
    }
    // A struct of an unknown (smaller) version is refused and left alone; a
    // larger one gets this version's fields and keeps its tail; none is fine.
    const VidraImage frame = RgbImageOf(moving, 96, 64);
    VidraFrameInfo small{};
    small.structSize = sizeof(uint32_t);
    EXPECT_EQ(VidraSegmenterProcessWithInfo(withInfo.segmenter, &frame, &maskA, &small), VIDRA_STATUS_BAD_STRUCT_SIZE);
    EXPECT_EQ(small.networkRan, 0);
    struct Longer {
        VidraFrameInfo info;
        uint64_t tail;
    } longer{};
    longer.info.structSize = sizeof longer;
    longer.tail = 0x1234;
    EXPECT_EQ(VidraSegmenterProcessWithInfo(withInfo.segmenter, &frame, &maskA, &longer.info), VIDRA_STATUS_OK);
    EXPECT_EQ(longer.info.structSize, sizeof longer);
    EXPECT_EQ(longer.tail, 0x1234u);
    EXPECT_EQ(VidraSegmenterProcessWithInfo(withInfo.segmenter, &frame, &maskA, nullptr), VIDRA_STATUS_OK);
}

// What the callback tries on its own instance, and what that call answered.
struct ReentryCase {
    const char* name;
    int32_t (*call)(VidraSegmenter*);
};

struct Reentry {
    const ReentryCase* action = nullptr;
    VidraSegmenter* self = nullptr;
    std::vector<int32_t> answers;
};

void CallBack(void* user, int32_t /*level*/, const char* /*message*/) {
    auto* r = static_cast<Reentry*>(user);
    if (r->self != nullptr) r->answers.push_back(r->action->call(r->self));
}

TEST(CoreLibrary, CallsOnAnInstanceFromItsOwnCallbackAreRefusedAndChangeNothing) {
    const ReentryCase cases[] = {
        {"destroy", [](VidraSegmenter* s) { VidraSegmenterDestroy(s); return int32_t{VIDRA_STATUS_BUSY}; }},
        {"reset", [](VidraSegmenter* s) { return VidraSegmenterReset(s); }},
        {"process", [](VidraSegmenter* s) {
             std::vector<uint8_t> rgb = Pattern(96, 64, 1), mask(96 * 64);
             const VidraImage frame = RgbImageOf(rgb, 96, 64);
             const VidraMask out{96, 64, 96, 0, mask.data()};
             return VidraSegmenterProcess(s, &frame, &out);
         }},
    };
    for (const ReentryCase& c : cases) {
        Reentry reentry;
        reentry.action = &c;
        Instance instance(CallBack, &reentry), reference;
        reentry.self = instance.segmenter;
        std::vector<uint8_t> rgb = Pattern(96, 64, 3), got(96 * 64), want(96 * 64);
        const VidraImage frame = RgbImageOf(rgb, 96, 64);
        const VidraMask gotMask{96, 64, 96, 0, got.data()}, wantMask{96, 64, 96, 0, want.data()};
        for (int i = 0; i < 3; ++i) {
            // Under AddressSanitizer a destroy that went through fails here.
            ASSERT_EQ(VidraSegmenterProcess(instance.segmenter, &frame, &gotMask), VIDRA_STATUS_OK) << c.name;
            ASSERT_EQ(VidraSegmenterProcess(reference.segmenter, &frame, &wantMask), VIDRA_STATUS_OK);
            EXPECT_EQ(got, want) << c.name << " frame " << i;
        }
        ASSERT_FALSE(reentry.answers.empty()) << c.name;
        for (int32_t answer : reentry.answers) EXPECT_EQ(answer, VIDRA_STATUS_BUSY) << c.name;
        reentry.self = nullptr;  // the destructor's own log lines call back no more
    }
}

}  // namespace
