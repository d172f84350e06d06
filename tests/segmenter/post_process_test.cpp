#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "postprocess/blur_mask.h"
#include "segmenter_fixture.h"

namespace {

SegParams Flags(SegParams params, bool sigmoid, bool blur, bool smooth) {
    params.needSigmoid = sigmoid;
    params.MaskBlur = blur;
    params.MultiFrameSmooth = smooth;
    return params;
}

// One output plane at mask size and frame size: every stage is then a copy
// except the ones switched on, so the quantisation shows directly.
TEST(PostProcess, QuantisesClampedProbabilitiesByTruncation) {
    SegParams params = Flags(kSegParams640x480, true, false, false);
    params.outputWidth = params.maskWidth = 8;
    params.outputHeight = params.maskHeight = 2;
    ASSERT_EQ(CreateWithoutModel(8, 2, 1, params), -1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[8] = {1.0f, 7.5f, 0.999f, 0.5f, 0.003f, -2.0f, nan, 0.25f};
    std::vector<float> output(16, 0.0f);
    std::copy(values, values + 8, output.begin());
    std::vector<uint8_t> mask(16, 0xEE);
    LogCapture log;
    EXPECT_EQ(g_model.PostProcess(output.data(), mask.data(), false), 0);
    log.Text();
    // needSigmoid is set, but a one-plane output is already a probability.
    const std::vector<uint8_t> expected = {255, 255, 254, 127, 0, 0, 0, 63};
    EXPECT_EQ(std::vector<uint8_t>(mask.begin(), mask.begin() + 8), expected);
    DestroyQuietly();
}

TEST(PostProcess, TwoPlaneOutputUsesTheLastPlaneThroughTheLogistic) {
    SegParams params = Flags(kSegParams144x80, true, false, false);
    params.outputWidth = params.maskWidth = 288;
    params.outputHeight = params.maskHeight = 160;
    ASSERT_EQ(CreateWithoutModel(288, 160, 1, params), -1);
    std::vector<float> output(2 * 46080, 50.0f);             // plane 0 is never read
    std::fill(output.begin() + 46080, output.end(), 0.0f);  // logit 0 -> 0.5
    output[46080 + 5] = 40.0f;                               // -> 1.0
    output[46080 + 6] = -40.0f;                              // -> 0.0
    std::vector<uint8_t> mask(46080);
    LogCapture log;
    g_model.PostProcess(output.data(), mask.data(), false);
    log.Text();
    EXPECT_EQ(mask[0], 127);
    EXPECT_EQ(mask[5], 255);
    EXPECT_EQ(mask[6], 0);
    DestroyQuietly();
}

TEST(PostProcess, SkippedFramesRepeatTheLastMaskAndDoNotAdvanceSmoothing) {
    SegParams params = Flags(kSegParams144x80, false, false, true);
    params.outputChannels = 1;
    params.outputWidth = params.maskWidth = 4;
    params.outputHeight = params.maskHeight = 2;
    ASSERT_EQ(CreateWithoutModel(4, 2, 1, params), -1);
    std::vector<uint8_t> mask(8, 0xEE);
    // Before any full run the stored mask is all zero.
    EXPECT_EQ(g_model.PostProcess(nullptr, mask.data(), true), 0);
    EXPECT_EQ(mask, std::vector<uint8_t>(8, 0));

    std::vector<float> output(8, 0.75f);
    LogCapture log;
    for (int run = 0; run < 3; ++run) g_model.PostProcess(output.data(), mask.data(), false);
    EXPECT_EQ(mask, std::vector<uint8_t>(8, 191));  // warm-up passes 0.75 through
    EXPECT_EQ(g_model.m_smoothReady, 1);
    std::vector<uint8_t> skipped(8, 0);
    g_model.PostProcess(output.data(), skipped.data(), true);
    EXPECT_EQ(skipped, mask);
    EXPECT_EQ(g_model.m_smoothIndex, 0);
    // The fourth full run blends with an empty history: 0.75 * 0.5.
    g_model.PostProcess(output.data(), mask.data(), false);
    log.Text();
    EXPECT_EQ(mask, std::vector<uint8_t>(8, 95));
    DestroyQuietly();
}

TEST(PostProcess, OnePlaneBlurWritesAPlaneOfItsOwn) {
    SegParams params = Flags(kSegParams640x480, false, true, false);
    params.outputWidth = params.maskWidth = 6;
    params.outputHeight = params.maskHeight = 5;
    ASSERT_EQ(CreateWithoutModel(6, 5, 1, params), -1);
    std::vector<float> output(30, 0.0f);
    output[2 * 6 + 2] = output[2 * 6 + 3] = 1.0f;
    std::vector<float> blurred(30);
    BlurMask(output.data(), blurred.data(), 6, 5);
    std::vector<uint8_t> mask(30);
    LogCapture log;
    g_model.PostProcess(output.data(), mask.data(), false);
    log.Text();
    for (int i = 0; i < 30; ++i) EXPECT_EQ(mask[i], static_cast<uint8_t>(static_cast<int>(blurred[i] * 255.0f))) << i;
    EXPECT_EQ(mask[2 * 6 + 2], 31);  // seven lower neighbours: 1/8
    DestroyQuietly();
}

TEST(SmoothMask, BlendsWithTheTwoPreviousResults) {
    SegParams params = kSegParams144x80;
    params.outputWidth = params.maskWidth = 2;
    params.outputHeight = params.maskHeight = 2;
    ASSERT_EQ(CreateWithoutModel(4, 2, 1, params), -1);
    std::vector<float> in(4), out(4);
    auto step = [&](float a, float b, float c, float d) {
        in = {a, b, c, d};
        g_model.SmoothMask(in.data(), out.data());
        return out;
    };
    for (int i = 0; i < 3; ++i) EXPECT_EQ(step(0.75f, 0.5f, 1.0f, 0.1f), in);  // warm-up
    EXPECT_EQ(step(0.75f, 0.5f, 1.0f, 0.0f), (std::vector<float>{0.375f, 0.0f, 1.0f, 0.0f}));
    const std::vector<float> fifth = step(0.75f, 0.5f, 1.0f, 0.0f);
    const std::vector<float> sixth = step(0.5f, 0.5f, 0.0f, 1.0f);
    // Undecided: 0.66 x previous + 0.34 x the one before; certain: unchanged.
    EXPECT_EQ(sixth[0], (0.66f * fifth[0]) + 0.34f * 0.375f);
    EXPECT_EQ(sixth[2], 0.0f);
    EXPECT_EQ(sixth[3], 1.0f);
    // In place works, and a new creation restarts the warm-up.
    g_model.SmoothMask(in.data(), in.data());
    ASSERT_EQ(CreateWithoutModel(4, 2, 1, params), -1);
    EXPECT_EQ(g_model.m_smoothReady, 0);
    EXPECT_EQ(step(0.75f, 0.5f, 1.0f, 0.1f), in);
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
    std::vector<float> tensor(138240);
    g_model.PreprocessRGB(rgb.data(), tensor.data(), 288, 160);
    for (size_t i = 0; i < 46080; ++i) {
        ASSERT_EQ(g_model.m_lumaImage[i], luma[i % 5]) << i;
        for (int c = 0; c < 3; ++c) ASSERT_EQ(tensor[c * 46080 + i], pixels[i % 5][c]) << i;
    }
    std::vector<float> tensorRgba(138240);
    g_model.PreprocessRGBA(rgba.data(), tensorRgba.data(), 288, 160);
    EXPECT_EQ(tensorRgba, tensor);
    EXPECT_EQ(g_model.m_lumaImage[4], 18);
    DestroyQuietly();
}

}  // namespace
