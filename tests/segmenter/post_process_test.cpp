#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "segmenter_fixture.h"

namespace {

// Output planes at mask size and frame size, so that both resizes are copies.
SegParams Record(int channels, int width, int height, bool blur, bool smooth) {
    SegParams params = kSegParams144x80;
    params.outputChannels = channels;
    params.outputWidth = params.maskWidth = width;
    params.outputHeight = params.maskHeight = height;
    params.MaskBlur = blur;
    params.MultiFrameSmooth = smooth;
    return params;
}

// needSigmoid is set throughout: it applies to the last of two planes only,
// a one-plane output being already a probability. Values are clamped to 0..1
// (NaN to 0) and truncated; the blur averages a pixel with its lower
// neighbours into a plane of its own (in place, the row below would see the
// blurred row above).
TEST(PostProcess, ActivationBlurAndQuantisation) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        int channels, width, height;
        bool blur;
        std::vector<float> output;
        std::vector<uint8_t> mask;
    } cases[] = {
        {"quantisation", 1, 4, 2, false, {1.0f, 7.5f, 0.999f, 0.5f, 0.003f, -2.0f, nan, 0.25f},
         {255, 255, 254, 127, 0, 0, 0, 63}},
        {"two planes", 2, 4, 2, false, {50, 50, 50, 50, 50, 50, 50, 50, 0, 40, -40, 0, 0, 0, 0, 0},
         {127, 255, 0, 127, 127, 127, 127, 127}},
        {"blur", 1, 6, 5, true,
         {0, 0, 0, 0, 0, 0,  //
          0, 0, 0, 0, 0, 0,  //
          0, 0, 1, 1, 0, 0,  //
          0, 0, 0.5f, 0, 0, 0,  //
          0, 0, 0, 0, 0, 0},
         {0, 0, 0,  0,  0, 0,  //
          0, 0, 0,  0,  0, 0,  //
          0, 0, 47, 47, 0, 0,  //
          0, 0, 18, 0,  0, 0,  //
          0, 0, 0,  0,  0, 0}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(CreateWithoutModel(c.width, c.height, 1, Record(c.channels, c.width, c.height, c.blur, false)), -1);
        std::vector<uint8_t> mask(c.mask.size(), 0xEE);
        LogCapture log;
        EXPECT_EQ(g_model.PostProcess(c.output.data(), mask.data(), false), 0) << c.what;
        EXPECT_EQ(log.Text(), "ResizeUcharMask copy succeeded") << c.what;
        EXPECT_EQ(mask, c.mask) << c.what;
    }
    DestroyQuietly();
}

// Smoothing passes the first three masks through, then blends each pixel
// with the two previous results by its distance from undecided (0.5).
// Skipped frames repeat the last mask and do not advance the smoothing.
TEST(PostProcess, SmoothingBlendsWithTheTwoPreviousResultsAndSkippedFramesRepeat) {
    const SegParams params = Record(1, 2, 2, false, true);
    ASSERT_EQ(CreateWithoutModel(2, 2, 1, params), -1);
    std::vector<uint8_t> mask(4);
    const auto full = [&](std::vector<float> output) {  // the smoothed plane
        LogCapture quiet;
        EXPECT_EQ(g_model.PostProcess(output.data(), mask.data(), false), 0);
        quiet.Text();
        return std::vector<float>(g_model.m_postPlanes, g_model.m_postPlanes + 4);
    };
    const auto skipped = [&] {
        std::vector<uint8_t> repeated(4, 0xEE);
        EXPECT_EQ(g_model.PostProcess(nullptr, repeated.data(), true), 0);
        return repeated;
    };
    EXPECT_EQ(skipped(), std::vector<uint8_t>(4, 0));  // nothing stored yet
    const std::vector<float> warmUp = {0.75f, 0.5f, 1.0f, 0.1f};
    for (int run = 0; run < 3; ++run) EXPECT_EQ(full(warmUp), warmUp);
    EXPECT_EQ(mask, (std::vector<uint8_t>{191, 127, 255, 25}));
    // The first blend meets an empty history.
    const std::vector<float> fourth = full({0.75f, 0.5f, 1.0f, 0.0f});
    EXPECT_EQ(fourth, (std::vector<float>{0.375f, 0.0f, 1.0f, 0.0f}));
    EXPECT_EQ(skipped(), (std::vector<uint8_t>{95, 0, 255, 0}));
    const std::vector<float> fifth = full({0.75f, 0.5f, 1.0f, 0.0f});
    const std::vector<float> sixth = full({0.5f, 0.5f, 0.0f, 1.0f});
    // Undecided: 0.66 x previous + 0.34 x the one before; certain: unchanged.
    EXPECT_EQ(sixth[0], (0.66f * fifth[0]) + 0.34f * fourth[0]);
    EXPECT_EQ(sixth[2], 0.0f);
    EXPECT_EQ(sixth[3], 1.0f);
    // A new creation restarts the warm-up.
    ASSERT_EQ(CreateWithoutModel(2, 2, 1, params), -1);
    EXPECT_EQ(full(warmUp), warmUp);
    DestroyQuietly();
}

TEST(Preprocess, PlanesHoldRawBytesAndLumaUsesIntegerWeights) {
    ASSERT_EQ(CreateWithoutModel(288, 160, 1, kSegParams144x80), -1);
    const uint8_t pixels[5][3] = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    const uint8_t luma[5] = {255, 75, 149, 29, 18};
    std::vector<uint8_t> rgb(46080 * 3), rgba(46080 * 4);
    for (size_t i = 0; i < 46080; ++i)
        for (int c = 0; c < 3; ++c) {
            rgb[i * 3 + c] = pixels[i % 5][c];
            rgba[i * 4 + c] = pixels[i % 5][c];
            rgba[i * 4 + 3] = static_cast<uint8_t>(i);  // never read
        }
    std::vector<float> tensor(138240), tensorRgba(138240);
    g_model.PreprocessRGB(rgb.data(), tensor.data(), 288, 160);
    for (size_t i = 0; i < 46080; ++i) {
        ASSERT_EQ(g_model.m_lumaImage[i], luma[i % 5]) << i;
        for (int c = 0; c < 3; ++c) ASSERT_EQ(tensor[c * 46080 + i], pixels[i % 5][c]) << i;
    }
    std::memset(g_model.m_lumaImage, 0, 46080);
    g_model.PreprocessRGBA(rgba.data(), tensorRgba.data(), 288, 160);
    EXPECT_EQ(tensorRgba, tensor);
    for (size_t i = 0; i < 46080; ++i) ASSERT_EQ(g_model.m_lumaImage[i], luma[i % 5]) << i;
    DestroyQuietly();
}

}  // namespace
