// The shared library as a host uses it: public header, real engine, real model.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "host_test_support.h"
#include "vidra.h"

namespace {

TEST(EndToEnd, MaskCoversThePersonAndAnUnchangedFrameIsSkipped) {
    const RgbImage photo = LoadTestFrame("astronaut.ppm");
    int status = 1;
    const std::string creation = StdoutOf([&] { status = VidraCreateWithPath(640, 480, 1, kModelDir.c_str()); });
    ASSERT_EQ(status, 0) << creation;
    EXPECT_NE(creation.find("model file name: model_144x80_2ch_nosig_sim_f32.tesk.\nNNXPreparePlus start.\n"
                            "NNXPrepare ret: 0\ng_model.InitIPU ret: 0."),
              std::string::npos)
        << creation;

    std::vector<uint8_t> mask(640 * 480, 0xEE), again(640 * 480, 0x11);
    const std::string first = StdoutOf([&] { status = VidraFrameProcess(nullptr, photo.rgb.data(), mask.data()); });
    ASSERT_EQ(status, 0);
    EXPECT_NE(first.find("NNXRun start.\n"), std::string::npos) << first;

    const auto boxMean = [&](int x0, int y0, int x1, int y1) {
        double sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) sum += mask[static_cast<size_t>(y) * 640 + x];
        return sum / ((x1 - x0) * (y1 - y0));
    };
    // Face and torso are person, the wall beside the shuttle is background.
    EXPECT_GT(boxMean(240, 60, 320, 140), 200.0);
    EXPECT_GT(boxMean(100, 300, 300, 420), 200.0);
    EXPECT_LT(boxMean(390, 10, 430, 120), 40.0);

    const std::string second = StdoutOf([&] { status = VidraFrameProcess(nullptr, photo.rgb.data(), again.data()); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(second.rfind("CosineSimilarity: ", 0), 0u) << second;
    EXPECT_EQ(second.find("NNXRun start."), std::string::npos) << second;
    EXPECT_EQ(again, mask);

    const std::string destroy = StdoutOf([&] { status = VidraDestroy(); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(destroy, "SorvaneDestroy!\nStart DestroyIPU:NNXRelease() \nrelease m_nnxModel start\n"
                       "End DestroyIPU:NNXRelease() \n");
}

TEST(EndToEnd, FourBytePixelsAndTheOnePlaneModelGiveTheSamePerson) {
    const RgbImage photo = LoadTestFrame("messi.ppm");
    std::vector<uint8_t> rgba(static_cast<size_t>(photo.width) * photo.height * 4, 0x7F);
    for (size_t i = 0; i < rgba.size() / 4; ++i)
        for (int c = 0; c < 3; ++c) rgba[i * 4 + c] = photo.rgb[i * 3 + c];
    const auto segment = [&](int format, const SegParams* params, const uint8_t* frame) {
        std::vector<uint8_t> mask(640 * 480);
        int status = 1;
        StdoutOf([&] {
            status = params ? VidraCreateWithPathPlus(640, 480, format, kModelDir.c_str(), params)
                            : VidraCreateWithPath(640, 480, format, kModelDir.c_str());
            VidraFrameProcess(nullptr, frame, mask.data());
            VidraDestroy();
        });
        EXPECT_EQ(status, 0) << format;
        return mask;
    };
    const std::vector<uint8_t> twoPlane = segment(2, nullptr, rgba.data());
    EXPECT_EQ(segment(1, nullptr, photo.rgb.data()), twoPlane);  // the fourth byte is never read
    const std::vector<uint8_t> onePlane = segment(1, &kSegParams640x480, photo.rgb.data());
    // Both models see the same person: their masks agree on most pixels.
    size_t agree = 0, person = 0;
    for (size_t i = 0; i < onePlane.size(); ++i) {
        agree += (onePlane[i] >= 128) == (twoPlane[i] >= 128);
        person += twoPlane[i] >= 128;
    }
    EXPECT_GT(agree, onePlane.size() * 9 / 10);
    EXPECT_GT(person, onePlane.size() / 50);
}

// Models that do not fit the 144x80 record (the 640x480 one would write past
// the mask; non-planar inputs would be misread, the padded one past the frame):
// frames then skip the network, and the destroy releases the record once.
TEST(EndToEnd, ModelsThatDoNotFitTheParametersAreRefused) {
    const std::string test = ModelPath("test");
    const std::pair<std::string, const char*> models[] = {{kModelDir, kSegParams640x480.modelName},
                                                          {test, "seg_interleaved_in.tesk"},
                                                          {test, "seg_padded_in.tesk"},
                                                          {test, "seg_transposed_in.tesk"}};
    const RgbImage photo = LoadTestFrame("astronaut.ppm");
    for (const auto& model : models) {
        const char* name = model.second;
        SegParams params = kSegParams144x80;
        std::snprintf(params.modelName, sizeof params.modelName, "%s", name);
        int status = 0;
        const std::string creation =
            StdoutOf([&] { status = VidraCreateWithPathPlus(640, 480, 1, model.first.c_str(), &params); });
        EXPECT_EQ(status, -1) << name;
        EXPECT_NE(creation.find("NNXPrepare ret: 0\nModelInit: model tensors do not match the parameters\n"
                                "g_model.InitIPU ret: -1."),
                  std::string::npos)
            << creation;
        std::vector<uint8_t> mask(640 * 480);
        StdoutOf([&] { status = VidraFrameProcess(nullptr, photo.rgb.data(), mask.data()); });
        EXPECT_EQ(status, 0) << name;
        const std::string destroy = StdoutOf([&] { status = VidraDestroy(); });
        EXPECT_EQ(status, 0) << name << destroy;
    }
}

}  // namespace
