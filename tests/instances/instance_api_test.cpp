// Segmenter instances through the public header: the global segmenter's masks
// in every pixel format, reset, refusals, the log and the lifecycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "instance_support.h"

namespace {

using namespace support;

struct Message {
    int32_t level;
    std::string text;
};

void Collect(void* user, int32_t level, const char* message) {
    static_cast<std::vector<Message>*>(user)->push_back({level, message});
}

RgbImage Crop(const RgbImage& photo, int width, int height) {
    RgbImage out{width, height, {}};
    for (int y = 0; y < height; ++y) out.rgb.insert(out.rgb.end(), Px(photo, 0, y), Px(photo, 0, y) + width * 3);
    return out;
}

// Distinct frames, each given twice: full runs, skipped repeats, the forced
// keyframe of the schedule (the tenth frame) and the smoothing history all take part.
std::vector<RgbImage> Sequence(const RgbImage& photo, int count) {
    std::vector<RgbImage> frames;
    for (int i = 0; i < count; ++i) frames.push_back(Variant(photo, (i / 2) * 3, (i / 2) % 3));
    return frames;
}

// Every layout gives, frame after frame, the masks of the RGB24 frame it
// stands for: the same picture for packed layouts; for NV12 and I420 the one
// the library's BT.601 conversion makes of them (no chroma interpolation).
// The first case compares with the global segmenter (its keyframe schedule
// runs from the library's load, so it goes first), the others with an RGB24
// instance created anew where the tested one is reset. Meanwhile other
// instances come and go, one failing, and nothing goes to stdout.
// Against the original photo a YUV frame differs by the colour round trip
// (about +-2 levels per channel, and 4:2:0 chroma blurring colour at edges),
// so its masks may differ only slightly and near edges: at most 1.5 levels on
// average, and at most 2% of the pixels by more than 32.
TEST(Instances, EveryLayoutGivesTheMasksOfTheRgbFrameItStandsForAsTheGlobalSegmenterDoes) {
    const RgbImage full = LoadTestFrame("astronaut.ppm");
    const std::string models = ModelPath();
    struct Case {
        int32_t format, padding;  // padding: bytes after each packed row
        bool bottomUp;
        int32_t maskPadding;
        bool maskBottomUp;
        int width, height;
    };
    const Case cases[] = {
        {VIDRA_PIXEL_RGB24, 0, false, 0, false, 640, 480},  {VIDRA_PIXEL_RGB24, 7, true, 0, false, 640, 480},
        {VIDRA_PIXEL_BGR24, 5, true, 3, false, 640, 480},   {VIDRA_PIXEL_RGBA32, 0, false, 0, true, 640, 480},
        {VIDRA_PIXEL_BGRA32, 64, false, 13, false, 640, 480}, {VIDRA_PIXEL_BGRA32, 4, true, 2, true, 640, 480},
        {VIDRA_PIXEL_NV12, 0, false, 0, false, 640, 480},   {VIDRA_PIXEL_I420, 0, false, 5, true, 640, 480},
        {VIDRA_PIXEL_NV12, 0, false, 0, true, 637, 479},    {VIDRA_PIXEL_I420, 0, false, 0, false, 637, 479},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " padding " << c.padding << (c.bottomUp ? " up" : "")
                                        << " mask padding " << c.maskPadding << (c.maskBottomUp ? " up " : " ") << c.width
                                        << " x " << c.height);
        const bool yuv = c.format == VIDRA_PIXEL_NV12 || c.format == VIDRA_PIXEL_I420, global = &c == cases;
        const std::vector<RgbImage> frames = Sequence(c.width == full.width ? full : Crop(full, c.width, c.height), 16);
        int status = 0;
        if (global) StdoutOf([&] { status = VidraCreateWithPath(c.width, c.height, VIDRA_FRAME_RGB24, models.c_str()); });
        ASSERT_EQ(status, 0);
        VidraSegmenter *instance = nullptr, *reference = nullptr, *original = nullptr;  // original: fed the photo
        std::string instanceStdout = StdoutOf([&] {
            instance = NewInstance(c.width, c.height);
            reference = global ? nullptr : NewInstance(c.width, c.height);
            original = yuv ? NewInstance(c.width, c.height) : nullptr;
        });
        const int32_t maskStride = c.width + c.maskPadding;
        double sum = 0;
        size_t far = 0, pixels = 0;
        for (int i = 0; i < int(frames.size()); ++i) {
            const OwnedImage frame =
                yuv ? Yuv(frames[i], c.format) : Packed(frames[i], c.format, c.padding, c.bottomUp);
            const RgbImage standsFor = yuv ? RgbOfYuv(frame) : frames[i];
            std::vector<uint8_t> expected(size_t(c.width) * c.height), fromPhoto, mask(size_t(maskStride) * c.height, 0x3C);
            uint8_t* top = mask.data() + (c.maskBottomUp ? size_t(c.height - 1) * maskStride : 0);
            const VidraMask out{c.width, c.height, c.maskBottomUp ? -maskStride : maskStride, 0, top};
            instanceStdout += StdoutOf([&] {
                if (i == 11 && !global) {  // frame 11 repeats frame 10: skipped, unless the segmenter starts over
                    EXPECT_EQ(VidraSegmenterReset(instance), VIDRA_STATUS_OK);
                    VidraSegmenterReset(original);
                    VidraSegmenterDestroy(reference);
                    reference = NewInstance(c.width, c.height);
                }
                status = VidraSegmenterProcess(instance, &frame.image, &out);
                if (yuv) fromPhoto = Segment(original, frames[i]);
                if (!global) expected = Segment(reference, standsFor);
                if (i == 4) {
                    Options missing(c.width, c.height, ModelPath("missing"));
                    VidraSegmenter* none = nullptr;
                    EXPECT_EQ(VidraSegmenterCreate(&missing.options, &none), VIDRA_STATUS_MODEL_NOT_FOUND);
                    VidraSegmenterDestroy(NewInstance(320, 240));
                }
            });
            ASSERT_EQ(status, VIDRA_STATUS_OK);
            if (global) StdoutOf([&] { status = VidraFrameProcess(nullptr, standsFor.rgb.data(), expected.data()); });
            ASSERT_EQ(status, 0);
            for (int y = 0; y < c.height; ++y) {
                const uint8_t* row = top + y * out.stride;
                ASSERT_TRUE(std::equal(row, row + c.width, &expected[size_t(y) * c.width])) << "frame " << i << " row " << y;
                ASSERT_EQ(std::count(row + c.width, row + maskStride, 0x3C), c.maskPadding) << "padding written";
            }
            for (size_t p = 0; p < fromPhoto.size(); ++p, ++pixels) {
                sum += std::abs(expected[p] - fromPhoto[p]);
                far += std::abs(expected[p] - fromPhoto[p]) > 32;
            }
        }
        EXPECT_LE(sum, 1.5 * pixels);
        EXPECT_LE(far, pixels / 50);
        EXPECT_EQ(instanceStdout, "");
        for (VidraSegmenter* s : {instance, reference, original}) VidraSegmenterDestroy(s);
        if (global) StdoutOf([] { VidraDestroy(); });
    }
}

TEST(Instances, FailedCreationsGiveTheirStatusAndReasonThroughTheCallbackOnly) {
    SegParams narrow = kSegParams144x80, otherName = kSegParams144x80, absent = kSegParams144x80;
    narrow.inputWidth = 100;
    std::snprintf(otherName.modelName, sizeof otherName.modelName, "%s", kSegParams640x480.modelName);
    std::snprintf(absent.modelName, sizeof absent.modelName, "absent.tesk");
    const std::string missing = ModelPath("missing"), noModel = VIDRA_TEST_SOURCE_DIR;
    const std::string foreign = ModelPath("test/affine.tesk");
    struct Case {
        const char* name;
        std::function<void(VidraSegmenterOptions&)> change;
        int32_t status;
    };
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

    // Options the library cannot read give only a status; the fields of a
    // newer version are accepted while they hold their defaults (zero).
    Options o(640, 480);
    struct {
        VidraSegmenterOptions options;
        uint64_t added;
    } newer{o.options, 1};
    newer.options.structSize = sizeof newer;
    VidraSegmenter* out = nullptr;
    EXPECT_EQ(VidraSegmenterCreate(&newer.options, &out), VIDRA_STATUS_BAD_STRUCT_SIZE);
    newer.added = 0;
    EXPECT_EQ(VidraSegmenterCreate(&newer.options, &out), VIDRA_STATUS_OK);
    VidraSegmenterDestroy(out);
    EXPECT_EQ(VidraSegmenterCreate(&o.options, nullptr), VIDRA_STATUS_NULL_ARGUMENT);
    EXPECT_EQ(VidraSegmenterCreate(nullptr, &out), VIDRA_STATUS_NULL_ARGUMENT);
    o.options.structSize -= 1;
    EXPECT_EQ(VidraSegmenterCreate(&o.options, &out), VIDRA_STATUS_BAD_STRUCT_SIZE);
}

TEST(Instances, AModelFileAndADebugCallbackCarryTheSegmentersLog) {
    Options o(320, 240, ModelPath(kSegParams144x80.modelName));
    std::vector<Message> messages;
    o.options.logCallback = Collect;
    o.options.logUser = &messages;
    o.options.logLevel = VIDRA_LOG_DEBUG;
    o.options.engineThreads = 2;
    VidraSegmenter* instance = nullptr;
    const RgbImage frame = Crop(LoadTestFrame("messi.ppm"), 320, 240);
    EXPECT_EQ(StdoutOf([&] {
                  ASSERT_EQ(VidraSegmenterCreate(&o.options, &instance), VIDRA_STATUS_OK);
                  Segment(instance, frame);
                  VidraSegmenterDestroy(instance);
              }),
              "");
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
    const RgbImage photo = LoadTestFrame("astronaut.ppm");
    const std::vector<RgbImage> frames = Sequence(photo, 6);
    VidraSegmenter* checked = NewInstance(photo.width, photo.height);
    VidraSegmenter* plain = NewInstance(photo.width, photo.height);
    std::vector<uint8_t> mask(size_t(photo.width) * photo.height);
    const VidraMask good{photo.width, photo.height, photo.width, 0, mask.data()};
    for (size_t i = 0; i < frames.size(); ++i) {
        const OwnedImage frame = Packed(frames[i], VIDRA_PIXEL_RGB24, 0, false);
        VidraImage image = frame.image;
        VidraMask bad = good;
        const std::pair<std::function<void()>, int32_t> refusals[] = {
            {[&] { image.width -= 4; }, VIDRA_STATUS_BAD_DIMENSIONS},
            {[&] { image.strides[0] = image.width * 3 - 1; }, VIDRA_STATUS_BAD_STRIDE},
            {[&] { image.format = 99; }, VIDRA_STATUS_UNSUPPORTED_FORMAT},
            {[&] { image.format = VIDRA_PIXEL_I420; }, VIDRA_STATUS_NULL_ARGUMENT},
            {[&] { bad.height += 1; }, VIDRA_STATUS_BAD_DIMENSIONS},
            {[&] { bad.stride = -(photo.width - 1); }, VIDRA_STATUS_BAD_STRIDE},
            {[&] { bad.data = nullptr; }, VIDRA_STATUS_NULL_ARGUMENT},
        };
        for (const auto& r : refusals) {
            image = frame.image;
            bad = good;
            r.first();
            EXPECT_EQ(VidraSegmenterProcess(checked, &image, &bad), r.second);
        }
        EXPECT_EQ(VidraSegmenterProcess(nullptr, &frame.image, &good), VIDRA_STATUS_NULL_ARGUMENT);
        EXPECT_EQ(VidraSegmenterProcess(checked, nullptr, &good), VIDRA_STATUS_NULL_ARGUMENT);
        EXPECT_EQ(VidraSegmenterReset(nullptr), VIDRA_STATUS_NULL_ARGUMENT);
        ASSERT_EQ(Segment(checked, frames[i]), Segment(plain, frames[i])) << "frame " << i;
    }
    VidraSegmenterDestroy(checked);
    VidraSegmenterDestroy(plain);
}

#if defined(__GLIBC__)
// Instances of two sizes created, used and destroyed in shuffled orders: after
// a first round has warmed the runtime's caches, further rounds give every
// byte back (one leaked instance would hold over a megabyte).
TEST(Instances, CreatingAndDestroyingInAnyOrderLeaksNothing) {
    const RgbImage photo = LoadTestFrame("messi.ppm");
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
        if (round == 0) baseline = mallinfo2().uordblks;
    }
    EXPECT_LT(mallinfo2().uordblks, baseline + 256 * 1024);
}
#endif

}  // namespace
