// Segmenter instances through the public header: the same masks as the global
// segmenter, every pixel format, reset, refusals and the lifecycle.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "instance_support.h"

namespace {

using namespace support;

std::string StdoutOf(const std::function<void()>& action) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

struct Message {
    int32_t level;
    std::string text;
};

void Collect(void* user, int32_t level, const char* message) {
    static_cast<std::vector<Message>*>(user)->push_back({level, message});
}

RgbImage Crop(const RgbImage& photo, int width, int height) {
    RgbImage out;
    out.width = width;
    out.height = height;
    for (int y = 0; y < height; ++y)
        out.rgb.insert(out.rgb.end(), photo.rgb.begin() + static_cast<size_t>(y) * photo.width * 3,
                       photo.rgb.begin() + (static_cast<size_t>(y) * photo.width + width) * 3);
    return out;
}

// Twelve distinct frames, each given twice: full runs, skipped repeats, the
// forced keyframes of the schedule and the smoothing history all take part.
std::vector<RgbImage> Sequence(const RgbImage& photo, int count) {
    std::vector<RgbImage> frames;
    for (int i = 0; i < count; ++i) frames.push_back(Variant(photo, (i / 2) * 3, (i / 2) % 3));
    return frames;
}

TEST(Instances, GiveTheGlobalSegmentersMasksFrameAfterFrameAndLeaveItAlone) {
    const RgbImage photo = LoadPhoto("astronaut.ppm");
    const std::vector<RgbImage> frames = Sequence(photo, 24);
    int status = 1;
    StdoutOf([&] { status = VidraCreateWithPath(photo.width, photo.height, VIDRA_FRAME_RGB24, kModelDir.c_str()); });
    ASSERT_EQ(status, 0);
    VidraSegmenter* instance = nullptr;
    const std::string quiet = StdoutOf([&] { instance = NewInstance(photo.width, photo.height); });
    ASSERT_NE(instance, nullptr);

    std::string instanceStdout = quiet;
    for (size_t i = 0; i < frames.size(); ++i) {
        std::vector<uint8_t> global(static_cast<size_t>(photo.width) * photo.height);
        StdoutOf([&] { status = VidraFrameProcess(nullptr, frames[i].rgb.data(), global.data()); });
        ASSERT_EQ(status, 0);
        std::vector<uint8_t> own;
        instanceStdout += StdoutOf([&] {
            own = Segment(instance, frames[i]);
            if (i == 4) {
                // Other instances come and go, one failing, without touching the global one.
                Options missing(photo.width, photo.height, kModelDir + kSeparator + "missing");
                VidraSegmenter* none = nullptr;
                EXPECT_EQ(VidraSegmenterCreate(&missing.options, &none), VIDRA_STATUS_MODEL_NOT_FOUND);
                VidraSegmenterDestroy(NewInstance(320, 240));
            }
        });
        ASSERT_EQ(own, global) << "frame " << i;
    }
    EXPECT_EQ(instanceStdout, "");
    VidraSegmenterDestroy(instance);
    StdoutOf([] { VidraDestroy(); });
}

TEST(Instances, PackedLayoutsStridesAndMaskStridesGiveTheRgbMask) {
    const RgbImage photo = LoadPhoto("messi.ppm");
    const std::vector<RgbImage> frames = Sequence(photo, 4);
    VidraSegmenter* reference = NewInstance(photo.width, photo.height);
    std::vector<std::vector<uint8_t>> expected;
    for (const RgbImage& f : frames) expected.push_back(Segment(reference, f));
    VidraSegmenterDestroy(reference);

    struct Case {
        int32_t format;
        int32_t padding;
        bool bottomUp;
        int32_t maskPadding;
    };
    const Case cases[] = {{VIDRA_PIXEL_RGB24, 7, false, 0},  {VIDRA_PIXEL_BGR24, 0, true, 3},
                          {VIDRA_PIXEL_RGBA32, 0, false, 0}, {VIDRA_PIXEL_BGRA32, 64, false, 13},
                          {VIDRA_PIXEL_BGRA32, 4, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " padding " << c.padding
                                        << (c.bottomUp ? " bottom-up" : "") << " mask padding " << c.maskPadding);
        VidraSegmenter* instance = NewInstance(photo.width, photo.height);
        const int32_t maskStride = photo.width + c.maskPadding;
        for (size_t i = 0; i < frames.size(); ++i) {
            const OwnedImage frame = Packed(frames[i], c.format, c.padding, c.bottomUp);
            std::vector<uint8_t> mask(static_cast<size_t>(maskStride) * photo.height, 0x3C);
            const VidraMask out{photo.width, photo.height, maskStride, 0, mask.data()};
            ASSERT_EQ(VidraSegmenterProcess(instance, &frame.image, &out), VIDRA_STATUS_OK);
            for (int y = 0; y < photo.height; ++y) {
                const uint8_t* row = mask.data() + static_cast<size_t>(y) * maskStride;
                ASSERT_TRUE(std::equal(row, row + photo.width, expected[i].data() + static_cast<size_t>(y) * photo.width))
                    << "frame " << i << " row " << y;
                for (int x = photo.width; x < maskStride; ++x) ASSERT_EQ(row[x], 0x3C) << "padding written";
            }
        }
        VidraSegmenterDestroy(instance);
    }
}

// The conversion is the only difference between a YUV frame and an RGB one:
// an NV12 or I420 frame gives exactly the mask of the RGB frame that the
// library's BT.601 conversion makes of it (no chroma interpolation). Against
// the original photo the difference is that of the colour round trip: the
// integer conversions each way (about +-2 levels per channel) and 4:2:0
// chroma, which blurs colour at edges only. The network sees nearly the same
// picture, so the two masks may differ only slightly and only near edges:
// at most 1.5 levels on average, and at most 2% of the pixels by more than 32.
TEST(Instances, YuvFramesGiveTheMaskOfTheirConvertedColours) {
    const RgbImage full = LoadPhoto("astronaut.ppm");
    for (const RgbImage& photo : {full, Crop(full, 637, 479)}) {
        VidraSegmenter* fromPhoto = NewInstance(photo.width, photo.height);
        const std::vector<uint8_t> photoMask = Segment(fromPhoto, photo);
        VidraSegmenterDestroy(fromPhoto);
        for (int32_t format : {VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420}) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", " << photo.width << " x " << photo.height);
            const OwnedImage yuv = Yuv(photo, format);
            VidraSegmenter* fromYuv = NewInstance(photo.width, photo.height);
            VidraSegmenter* fromConverted = NewInstance(photo.width, photo.height);
            const std::vector<uint8_t> mask = Segment(fromYuv, yuv.image);
            EXPECT_EQ(mask, Segment(fromConverted, RgbOfYuv(yuv)));
            VidraSegmenterDestroy(fromYuv);
            VidraSegmenterDestroy(fromConverted);

            double sum = 0;
            size_t far = 0;
            for (size_t i = 0; i < mask.size(); ++i) {
                const int d = std::abs(mask[i] - photoMask[i]);
                sum += d;
                far += d > 32;
            }
            EXPECT_LT(sum / mask.size(), 1.5);
            EXPECT_LT(far, mask.size() / 50);
        }
    }
}

TEST(Instances, ResetMakesAnInstanceBehaveAsANewOne) {
    const RgbImage photo = LoadPhoto("messi.ppm");
    const std::vector<RgbImage> frames = Sequence(photo, 14);
    VidraSegmenter* used = NewInstance(photo.width, photo.height);
    for (int i = 0; i < 9; ++i) Segment(used, frames[i]);
    ASSERT_EQ(VidraSegmenterReset(used), VIDRA_STATUS_OK);
    VidraSegmenter* fresh = NewInstance(photo.width, photo.height);
    for (int i = 9; i < 14; ++i) ASSERT_EQ(Segment(used, frames[i]), Segment(fresh, frames[i])) << "frame " << i;
    VidraSegmenterDestroy(used);
    VidraSegmenterDestroy(fresh);
    EXPECT_EQ(VidraSegmenterReset(nullptr), VIDRA_STATUS_NULL_ARGUMENT);
}

TEST(Instances, FailedCreationsReportThroughTheCallbackOnly) {
    const std::string test = kModelDir + kSeparator + "test" + kSeparator;
    SegParams narrow = kSegParams144x80;
    narrow.inputWidth = 100;
    SegParams otherName = kSegParams144x80;
    std::snprintf(otherName.modelName, sizeof otherName.modelName, "%s", kSegParams640x480.modelName);
    SegParams absent = kSegParams144x80;
    std::snprintf(absent.modelName, sizeof absent.modelName, "absent.tesk");
    struct Case {
        const char* name;
        std::function<void(VidraSegmenterOptions&)> change;
        int32_t status;
    };
    const std::string missing = kModelDir + kSeparator + "missing";
    const std::string noModel = VIDRA_TEST_SOURCE_DIR;
    const std::string foreign = test + "affine.tesk";
    const Case cases[] = {
        {"no path", [](VidraSegmenterOptions& o) { o.modelPath = nullptr; }, VIDRA_STATUS_NULL_ARGUMENT},
        {"missing folder", [&](VidraSegmenterOptions& o) { o.modelPath = missing.c_str(); }, VIDRA_STATUS_MODEL_NOT_FOUND},
        {"folder without model", [&](VidraSegmenterOptions& o) { o.modelPath = noModel.c_str(); }, VIDRA_STATUS_MODEL_NOT_FOUND},
        {"named file absent", [&](VidraSegmenterOptions& o) { o.params = &absent; }, VIDRA_STATUS_MODEL_NOT_FOUND},
        {"foreign model file", [&](VidraSegmenterOptions& o) { o.modelPath = foreign.c_str(); }, VIDRA_STATUS_MODEL_UNUSABLE},
        {"model of other parameters", [&](VidraSegmenterOptions& o) { o.params = &otherName; }, VIDRA_STATUS_MODEL_UNUSABLE},
        {"frame too small", [](VidraSegmenterOptions& o) { o.width = 1; }, VIDRA_STATUS_BAD_DIMENSIONS},
        {"parameters refused", [&](VidraSegmenterOptions& o) { o.params = &narrow; }, VIDRA_STATUS_BAD_OPTION},
        {"negative threads", [](VidraSegmenterOptions& o) { o.engineThreads = -1; }, VIDRA_STATUS_BAD_OPTION},
        {"too many threads", [](VidraSegmenterOptions& o) { o.engineThreads = 65; }, VIDRA_STATUS_BAD_OPTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options o(640, 480);
        std::vector<Message> messages;
        o.options.logCallback = Collect;
        o.options.logUser = &messages;
        c.change(o.options);
        VidraSegmenter* out = reinterpret_cast<VidraSegmenter*>(&messages);  // must be cleared
        int32_t status = 0;
        EXPECT_EQ(StdoutOf([&] { status = VidraSegmenterCreate(&o.options, &out); }), "");
        EXPECT_EQ(status, c.status) << VidraStatusString(status);
        EXPECT_EQ(out, nullptr);
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().level, VIDRA_LOG_ERROR);
        EXPECT_NE(std::string(VidraStatusString(status)), "unknown status");
    }

    // Options the library cannot read give only a status.
    Options small(640, 480);
    small.options.structSize = sizeof(VidraSegmenterOptions) - 1;
    VidraSegmenter* out = nullptr;
    EXPECT_EQ(VidraSegmenterCreate(&small.options, &out), VIDRA_STATUS_BAD_STRUCT_SIZE);
    EXPECT_EQ(VidraSegmenterCreate(nullptr, &out), VIDRA_STATUS_NULL_ARGUMENT);
    EXPECT_EQ(VidraSegmenterCreate(&small.options, nullptr), VIDRA_STATUS_BAD_STRUCT_SIZE);
}

TEST(Instances, AModelFileAndADebugCallbackCarryTheSegmentersLog) {
    const std::string file = kModelDir + kSeparator + kSegParams144x80.modelName;
    Options o(320, 240, file);
    std::vector<Message> messages;
    o.options.logCallback = Collect;
    o.options.logUser = &messages;
    o.options.logLevel = VIDRA_LOG_DEBUG;
    o.options.engineThreads = 2;
    VidraSegmenter* instance = nullptr;
    const RgbImage frame = Crop(LoadPhoto("messi.ppm"), 320, 240);
    const std::string out = StdoutOf([&] {
        ASSERT_EQ(VidraSegmenterCreate(&o.options, &instance), VIDRA_STATUS_OK);
        Segment(instance, frame);
        VidraSegmenterDestroy(instance);
    });
    EXPECT_EQ(out, "");
    std::string debug;
    int infos = 0;
    for (const Message& m : messages) {
        if (m.level == VIDRA_LOG_DEBUG) debug += m.text + "|";
        infos += m.level == VIDRA_LOG_INFO;
        EXPECT_EQ(m.text.find('\n'), std::string::npos) << m.text;
    }
    EXPECT_EQ(infos, 1);
    for (const char* line : {"ModelInit:Start Model Init|", "NNXPrepare ret: 0|", "NNXRun start.|",
                             "End DestroyIPU:NNXRelease() |"})
        EXPECT_NE(debug.find(line), std::string::npos) << line << " in " << debug;
}

TEST(Instances, FramesAndMasksThatDoNotFitAreRefusedWithoutChangingState) {
    const RgbImage photo = LoadPhoto("astronaut.ppm");
    const std::vector<RgbImage> frames = Sequence(photo, 6);
    VidraSegmenter* checked = NewInstance(photo.width, photo.height);
    VidraSegmenter* plain = NewInstance(photo.width, photo.height);
    std::vector<uint8_t> mask(static_cast<size_t>(photo.width) * photo.height);
    const VidraMask good{photo.width, photo.height, photo.width, 0, mask.data()};
    for (size_t i = 0; i < frames.size(); ++i) {
        OwnedImage frame = Packed(frames[i], VIDRA_PIXEL_RGB24, 0, false);
        VidraImage image = frame.image;
        VidraMask bad = good;
        struct Refusal {
            std::function<void()> spoil;
            int32_t status;
        };
        const Refusal refusals[] = {
            {[&] { image.width -= 4; }, VIDRA_STATUS_BAD_DIMENSIONS},
            {[&] { image.strides[0] = image.width * 3 - 1; }, VIDRA_STATUS_BAD_STRIDE},
            {[&] { image.format = 99; }, VIDRA_STATUS_UNSUPPORTED_FORMAT},
            {[&] { image.format = VIDRA_PIXEL_I420; }, VIDRA_STATUS_NULL_ARGUMENT},
            {[&] { bad.height += 1; }, VIDRA_STATUS_BAD_DIMENSIONS},
            {[&] { bad.stride = -(photo.width - 1); }, VIDRA_STATUS_BAD_STRIDE},
            {[&] { bad.data = nullptr; }, VIDRA_STATUS_NULL_ARGUMENT},
        };
        for (const Refusal& r : refusals) {
            image = frame.image;
            bad = good;
            r.spoil();
            EXPECT_EQ(VidraSegmenterProcess(checked, &image, &bad), r.status);
        }
        EXPECT_EQ(VidraSegmenterProcess(nullptr, &frame.image, &good), VIDRA_STATUS_NULL_ARGUMENT);
        EXPECT_EQ(VidraSegmenterProcess(checked, nullptr, &good), VIDRA_STATUS_NULL_ARGUMENT);
        ASSERT_EQ(Segment(checked, frames[i]), Segment(plain, frames[i])) << "frame " << i;
    }
    VidraSegmenterDestroy(checked);
    VidraSegmenterDestroy(plain);
}

#if defined(__GLIBC__)
size_t HeapInUse() { return mallinfo2().uordblks; }

// Instances of two sizes created, used and destroyed in shuffled orders: after
// a first round has warmed the runtime's caches, further rounds give every
// byte back (one leaked instance would hold over a megabyte).
TEST(Instances, CreatingAndDestroyingInAnyOrderLeaksNothing) {
    const RgbImage photo = LoadPhoto("messi.ppm");
    const RgbImage small = Crop(photo, 320, 240);
    const int orders[3][4] = {{2, 0, 3, 1}, {3, 2, 1, 0}, {0, 1, 2, 3}};
    size_t baseline = 0;
    for (int round = 0; round < 3; ++round) {
        VidraSegmenter* live[4];
        for (int k = 0; k < 4; ++k) live[k] = k % 2 ? NewInstance(320, 240) : NewInstance(photo.width, photo.height);
        for (int k = 0; k < 4; ++k) Segment(live[k], k % 2 ? small : photo);
        for (int k : orders[round]) {
            VidraSegmenterDestroy(live[k]);
            if (k == 1) VidraSegmenterDestroy(NewInstance(320, 240));
        }
        if (round == 0) baseline = HeapInUse();
    }
    EXPECT_LT(HeapInUse(), baseline + 256 * 1024);
}
#endif

}  // namespace
