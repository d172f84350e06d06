// Segmenter instances: masks in every pixel format, reset, refusals, the log, the lifecycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

using Messages = std::vector<std::pair<int32_t, std::string>>;  // level, text
void Collect(void* user, int32_t level, const char* text) { static_cast<Messages*>(user)->emplace_back(level, text); }

RgbImage Crop(RgbImage out, int width, int height) {
    for (int y = 0; y < height; ++y) std::copy_n(Px(out, 0, y), width * 3, &out.rgb[size_t(y) * width * 3]);
    return {width, height, std::vector<uint8_t>(out.rgb.begin(), out.rgb.begin() + size_t(width) * height * 3)};
}

// Every layout gives the masks of the RGB24 frame it stands for (for YUV: its
// BT.601 conversion), as the global segmenter (first case) or a fresh RGB24
// instance does; refusals leave the state alone; nothing on stdout. Against
// the photo itself a YUV frame's masks stay close despite the colour round trip.
TEST(Instances, EveryLayoutGivesTheMasksOfTheRgbFrameItStandsForAsTheGlobalSegmenterDoes) {
    const RgbImage full = LoadTestFrame("astronaut.ppm");
    const std::string unusable = ModelPath("test/affine.tesk");
    struct Case { int32_t format, padding; bool bottomUp; int32_t maskPadding; bool maskBottomUp; int width, height; };
    const Case cases[] = {
        {VIDRA_PIXEL_RGB24, 0, false, 0, false, 640, 480},  {VIDRA_PIXEL_RGB24, 7, true, 0, false, 640, 480},
        {VIDRA_PIXEL_BGR24, 5, true, 3, false, 640, 480},   {VIDRA_PIXEL_RGBA32, 0, false, 0, true, 640, 480},
        {VIDRA_PIXEL_BGRA32, 64, false, 13, false, 640, 480}, {VIDRA_PIXEL_BGRA32, 4, true, 2, true, 640, 480},
        {VIDRA_PIXEL_NV12, 0, false, 0, false, 640, 480},   {VIDRA_PIXEL_I420, 0, false, 5, true, 640, 480},
        {VIDRA_PIXEL_NV12, 0, false, 0, true, 637, 479},    {VIDRA_PIXEL_I420, 0, false, 0, false, 637, 479},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases << ", format " << c.format);
        const bool yuv = c.format == VIDRA_PIXEL_NV12 || c.format == VIDRA_PIXEL_I420, global = &c == cases;
        const RgbImage photo = c.width == full.width ? full : Crop(full, c.width, c.height);
        std::vector<RgbImage> frames;  // each twice: runs, skipped repeats, forced keyframes (every tenth), smoothing
        for (int i = 0; i < 24; ++i) frames.push_back(Variant(photo, (i / 2) * 3, (i / 2) % 3));
        int status = 0;
        if (global) StdoutOf([&] { status = VidraCreateWithPath(c.width, c.height, VIDRA_FRAME_RGB24, kModelDir.c_str()); });
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
            VidraImage image;  // spoilt copies of frame.image and out
            VidraMask bad;
            const std::pair<std::function<void()>, int32_t> refusals[] = {
                {[&] { image.width -= 4; }, VIDRA_STATUS_BAD_DIMENSIONS},
                {[&] { image.strides[0] = 1; }, VIDRA_STATUS_BAD_STRIDE},
                {[&] { image.format = 99; }, VIDRA_STATUS_UNSUPPORTED_FORMAT},
                {[&] { image.format = VIDRA_PIXEL_I420, image.planes[2] = nullptr; }, VIDRA_STATUS_NULL_ARGUMENT},
                {[&] { bad.height += 1; }, VIDRA_STATUS_BAD_DIMENSIONS},
                {[&] { bad.stride = -(c.width - 1); }, VIDRA_STATUS_BAD_STRIDE},
                {[&] { bad.data = nullptr; }, VIDRA_STATUS_NULL_ARGUMENT},
            };
            instanceStdout += StdoutOf([&] {
                for (const auto& r : refusals) {
                    image = frame.image;
                    bad = out;
                    r.first();
                    EXPECT_EQ(VidraSegmenterProcess(instance, &image, &bad), r.second);
                }
                EXPECT_EQ(VidraSegmenterProcess(nullptr, &frame.image, &out), VIDRA_STATUS_NULL_ARGUMENT);
                EXPECT_EQ(VidraSegmenterProcess(instance, nullptr, &out), VIDRA_STATUS_NULL_ARGUMENT);
                EXPECT_EQ(VidraSegmenterProcess(instance, &frame.image, nullptr), VIDRA_STATUS_NULL_ARGUMENT);
                EXPECT_EQ(VidraSegmenterReset(nullptr), VIDRA_STATUS_NULL_ARGUMENT);
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
                    const VidraSegmenterOptions o = OptionsFor(c.width, c.height, unusable.c_str());
                    VidraSegmenter* none = nullptr;
                    EXPECT_EQ(VidraSegmenterCreate(&o, &none), VIDRA_STATUS_MODEL_UNUSABLE);
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

// Creation reports through the callback only: a failure its status (*out cleared)
// and an error line; a success one info line, the segmenter's own at debug level.
TEST(Instances, CreationsReportThroughTheCallbackOnly) {
    SegParams narrow = kSegParams144x80, otherName = kSegParams144x80, absent = kSegParams144x80;
    narrow.inputWidth = 100;
    std::snprintf(otherName.modelName, sizeof otherName.modelName, "%s", kSegParams640x480.modelName);
    std::snprintf(absent.modelName, sizeof absent.modelName, "absent.tesk");
    const std::string missing = ModelPath("missing"), noModel = VIDRA_TEST_SOURCE_DIR;
    const std::string foreign = ModelPath("test/affine.tesk"), file = ModelPath(kSegParams144x80.modelName);
    const RgbImage frame = Crop(LoadTestFrame("messi.ppm"), 320, 240);
    const struct {
        const char* name;
        std::function<void(VidraSegmenterOptions&)> change;
        int32_t status;
    } cases[] = {
        {"no path", [](auto& o) { o.modelPath = nullptr; }, VIDRA_STATUS_NULL_ARGUMENT},
        {"missing folder", [&](auto& o) { o.modelPath = missing.c_str(); }, VIDRA_STATUS_MODEL_NOT_FOUND},
        {"folder without model", [&](auto& o) { o.modelPath = noModel.c_str(); }, VIDRA_STATUS_MODEL_NOT_FOUND},
        {"named file absent", [&](auto& o) { o.params = &absent; }, VIDRA_STATUS_MODEL_NOT_FOUND},
        {"foreign model file", [&](auto& o) { o.modelPath = foreign.c_str(); }, VIDRA_STATUS_MODEL_UNUSABLE},
        {"model of other parameters", [&](auto& o) { o.params = &otherName; }, VIDRA_STATUS_MODEL_UNUSABLE},
        {"frame too small", [](auto& o) { o.width = 1; }, VIDRA_STATUS_BAD_DIMENSIONS},
        {"parameters refused", [&](auto& o) { o.params = &narrow; }, VIDRA_STATUS_BAD_OPTION},
        {"negative threads", [](auto& o) { o.engineThreads = -1; }, VIDRA_STATUS_BAD_OPTION},
        {"too many threads", [](auto& o) { o.engineThreads = 65; }, VIDRA_STATUS_BAD_OPTION},
        {"log level above error", [](auto& o) { o.logLevel = VIDRA_LOG_ERROR + 1; }, VIDRA_STATUS_BAD_OPTION},
        {"negative log level", [](auto& o) { o.logLevel = -1; }, VIDRA_STATUS_BAD_OPTION},
        {"model file, debug level, 2 threads",
         [&](auto& o) { o.modelPath = file.c_str(), o.logLevel = VIDRA_LOG_DEBUG, o.engineThreads = 2; }, VIDRA_STATUS_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VidraSegmenterOptions o = OptionsFor(320, 240);
        Messages messages;
        o.logCallback = Collect;
        o.logUser = &messages;
        c.change(o);
        VidraSegmenter* out = reinterpret_cast<VidraSegmenter*>(&messages);  // set by every call
        int32_t status = 0;
        EXPECT_EQ(StdoutOf([&] {
                      status = VidraSegmenterCreate(&o, &out);
                      if (status == VIDRA_STATUS_OK) Segment(out, frame), VidraSegmenterDestroy(out);
                  }),
                  "");
        EXPECT_EQ(status, c.status) << VidraStatusString(status);
        EXPECT_NE(std::string(VidraStatusString(status)), "unknown status");
        std::string debug;
        int infos = 0;
        for (const auto& [level, text] : messages) {
            if (level == VIDRA_LOG_DEBUG) debug += text + "|";
            infos += level == VIDRA_LOG_INFO;
            EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        }
        if (status != VIDRA_STATUS_OK) {
            EXPECT_EQ(out, nullptr);
            ASSERT_FALSE(messages.empty());
            EXPECT_EQ(messages.back().first, VIDRA_LOG_ERROR);
            continue;
        }
        EXPECT_EQ(infos, 1);
        for (const char* line : {"ModelInit:Start Model Init|", "NNXPrepare ret: 0|", "NNXRun start.|",
                                 "End DestroyIPU:NNXRelease() |"})
            EXPECT_NE(debug.find(line), std::string::npos) << line << " in " << debug;
    }

    // A newer version's fields are accepted while they hold their defaults (zero).
    struct {
        VidraSegmenterOptions options;
        uint64_t added;
    } newer{OptionsFor(320, 240), 1};
    newer.options.structSize = sizeof newer;
    VidraSegmenter* out = nullptr;
    EXPECT_EQ(VidraSegmenterCreate(&newer.options, &out), VIDRA_STATUS_BAD_STRUCT_SIZE);
    newer.added = 0;
    EXPECT_EQ(VidraSegmenterCreate(&newer.options, &out), VIDRA_STATUS_OK);
    VidraSegmenterDestroy(out);
    EXPECT_EQ(VidraSegmenterCreate(&newer.options, nullptr), VIDRA_STATUS_NULL_ARGUMENT);
    EXPECT_EQ(VidraSegmenterCreate(nullptr, &out), VIDRA_STATUS_NULL_ARGUMENT);
    newer.options.structSize = sizeof newer.options - 1;
    EXPECT_EQ(VidraSegmenterCreate(&newer.options, &out), VIDRA_STATUS_BAD_STRUCT_SIZE);
}

#if defined(__GLIBC__)
// Instances created, used and destroyed in shuffled orders: after a warm-up
// round, every byte comes back (one leaked instance holds over a megabyte).
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

namespace {

namespace fs = std::filesystem;

// Model folders laid out in a fresh directory: an instance finds every model
// the global search finds (the same first file, in name order, letter case
// ignored, subfolders named *.tesk included); where the global path joins
// the name of a file found in a subfolder to the top folder and misses it,
// the instance opens the file where it was found.
TEST(Instances, FindEveryModelTheGlobalSearchFinds) {
    const fs::path model = fs::path(kModelDir) / "model_144x80_2ch_nosig_sim_f32.tesk";
    const fs::path root = fs::temp_directory_path() / ("vidra-locator-" + std::to_string(std::rand()));
    enum Entry { kModel, kJunk, kDir, kLoopToRoot };
    const struct {
        const char* name;
        std::vector<std::pair<const char*, Entry>> entries;
        bool globalFinds;
        int32_t instance;
    } cases[] = {
        {"upper case", {{"Model.TESK", kModel}}, true, VIDRA_STATUS_OK},
        {"first in name order is junk", {{"b.tesk", kModel}, {"A.tesk", kJunk}}, false, VIDRA_STATUS_MODEL_UNUSABLE},
        {"first in name order is good", {{"a.tesk", kModel}, {"B.tesk", kJunk}}, true, VIDRA_STATUS_OK},
        {"only in a subfolder", {{"sub.tesk", kDir}, {"sub.tesk/m.tesk", kModel}}, false, VIDRA_STATUS_OK},
        {"subfolder first, same name on top",
         {{"a.tesk", kDir}, {"a.tesk/m.tesk", kModel}, {"m.tesk", kModel}}, true, VIDRA_STATUS_OK},
        {"subfolder not named like a model", {{"models", kDir}, {"models/m.tesk", kModel}}, false,
         VIDRA_STATUS_MODEL_NOT_FOUND},
        {"link back to the top", {{"loop.tesk", kLoopToRoot}, {"m.tesk", kModel}}, true, VIDRA_STATUS_OK},
        {"no model", {{"readme.txt", kJunk}}, false, VIDRA_STATUS_MODEL_NOT_FOUND},
    };
    for (const auto& c : cases) {
        std::error_code ec;
        fs::remove_all(root, ec);
        fs::create_directories(root);
        bool made = true;
        for (const auto& [name, kind] : c.entries) {
            const fs::path path = root / name;
            if (kind == kModel) made &= fs::copy_file(model, path, ec);
            if (kind == kDir) made &= fs::create_directory(path, ec);
            if (kind == kJunk) {
                FILE* file = std::fopen(path.string().c_str(), "w");
                made &= file != nullptr && std::fputs("not a model", file) >= 0 && std::fclose(file) == 0;
            }
            if (kind == kLoopToRoot) {
                fs::create_directory_symlink(root, path, ec);
                if (ec) made = false;  // no symbolic links here (Windows without the right)
            }
        }
        if (!made) continue;
        const std::string folder = root.string();
        int32_t status = -9;
        SegParams searching = kSegParams144x80;
        searching.modelName[0] = '\0';  // no configured name: the folder is searched
        StdoutOf([&] {  // the global functions' log lines
            status = VidraCreateWithPathPlus(64, 48, VIDRA_FRAME_RGB24, folder.c_str(), &searching);
            VidraDestroy();
        });
        const bool global = status == 0;
        EXPECT_EQ(global, c.globalFinds) << c.name;
        VidraSegmenterOptions options = OptionsFor(64, 48, folder.c_str());
        options.params = &searching;
        VidraSegmenter* segmenter = nullptr;
        EXPECT_EQ(VidraSegmenterCreate(&options, &segmenter), c.instance) << c.name;
        EXPECT_TRUE(!global || segmenter != nullptr) << c.name;
        VidraSegmenterDestroy(segmenter);
    }
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
