#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "segmenter_fixture.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;
const std::string kForced = "save keyframe8x succeeded.NNXRun start.\n";
const std::string kUnchanged = "CosineSimilarity: 1.000000";

// A frame with some structure, so its thumbnail is not all zero.
std::vector<uint8_t> PatternFrame(int bytesPerPixel) {
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * bytesPerPixel);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>((i * 7 + i / 97) & 0xFF);
    return frame;
}

// g_model for frames of the type, the keyframe counter at zero.
void Start(int frameType) {
    EXPECT_EQ(CreateWithoutModel(kWidth, kHeight, frameType, kSegParams144x80), -1);
    g_model.m_frameCounter = 0;
}

std::string RunFrame(const std::vector<uint8_t>& frame, uint8_t* mask) {
    LogCapture log;
    EXPECT_EQ(VidraFrameProcess(nullptr, frame.data(), mask), 0);
    return log.Text();
}

// The first frame is compared with the zero thumbnail (not a number, so it
// runs); identical frames then repeat the last mask, except the forced ones:
// every tenth count up to 60, and the count's wrap after 60.
TEST(FrameDriver, KeyframeScheduleRepeatsEvery61FramesAndSurvivesRecreation) {
    Start(2);
    const auto frame = PatternFrame(4);
    std::vector<uint8_t> mask(kWidth * kHeight), again(mask.size(), 0xEE);
    const std::string first = RunFrame(frame, mask.data()), prefix = "CosineSimilarity: ";
    const size_t end = first.find(kForced);
    ASSERT_NE(end, std::string::npos) << first;
    EXPECT_TRUE(first.rfind(prefix, 0) == 0 && IsNanText(first.substr(prefix.size(), end - prefix.size())))
        << first;
    EXPECT_EQ(first.substr(end), kForced);
    EXPECT_EQ(RunFrame(frame, again.data()), kUnchanged);
    EXPECT_EQ(again, mask);

    std::vector<int> forced;
    for (int number = 3; number <= 1 + 2 * 61; ++number) {
        const std::string text = RunFrame(frame, mask.data());
        if (text == kForced)
            forced.push_back(number);
        else
            EXPECT_EQ(text, kUnchanged) << number;
    }
    EXPECT_EQ(forced, (std::vector<int>{10, 20, 30, 40, 50, 60, 61, 71, 81, 91, 101, 111, 121, 122}));

    g_model.m_frameCounter = 9;  // a new creation keeps the counter: the next frame is forced
    ASSERT_EQ(CreateWithoutModel(kWidth, kHeight, 2, kSegParams144x80), -1);
    EXPECT_EQ(RunFrame(frame, mask.data()), kForced);
    DestroyQuietly();
}

// Similarity ignores overall scale; an all-zero image gives not-a-number, so
// black frames always reach the network.
TEST(FrameDriver, ScaledThumbnailIsUnchangedButBlackNeverIs) {
    std::vector<uint8_t> a(720), b(720), zero(720, 0);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<uint8_t>(1 + i % 100);
        b[i] = static_cast<uint8_t>(2 * a[i]);
    }
    const uint64_t n = a.size();
    EXPECT_GT(CosineSimilarity(a.data(), b.data(), n), 0.9999998f);
    EXPECT_TRUE(std::isnan(CosineSimilarity(zero.data(), zero.data(), n)));
    EXPECT_TRUE(std::isnan(CosineSimilarity(a.data(), zero.data(), n)));
    b[5] = static_cast<uint8_t>(b[5] + 40);
    EXPECT_LT(CosineSimilarity(a.data(), b.data(), n), 0.9999998f);

    Start(1);
    const std::vector<uint8_t> black(kWidth * kHeight * 3, 0);
    std::vector<uint8_t> mask(kWidth * kHeight);
    for (int i = 0; i < 5; ++i) EXPECT_NE(RunFrame(black, mask.data()).find("NNXRun start.\n"), std::string::npos);
    DestroyQuietly();
}

TEST(FrameDriver, OtherFrameTypesPrepareNoInputAndNullMasksAreSafe) {
    Start(7);
    std::vector<uint8_t> mask(kWidth * kHeight);
    RunFrame(PatternFrame(4), mask.data());
    for (int i = 0; i < 138240; ++i) ASSERT_EQ(g_model.m_inputTensor[i], 0.0f);
    for (int i = 0; i < 46080; ++i) ASSERT_EQ(g_model.m_lumaImage[i], 0);

    // A skipped frame with a null mask keeps the stored mask; a full run clears it.
    Start(1);
    const auto rgb = PatternFrame(3);
    RunFrame(rgb, mask.data());
    std::memset(g_model.m_keyframeMask, 0x55, mask.size());
    LogCapture log;
    EXPECT_EQ(VidraFrameProcess(nullptr, rgb.data(), nullptr), 0);
    EXPECT_EQ(log.Text(), kUnchanged + "error: memcpy_s keyframeMask to current mask failed.");
    EXPECT_EQ(g_model.m_keyframeMask[0], 0x55);
    g_model.m_frameCounter = 9;  // forced keyframe: a full run
    LogCapture full;
    EXPECT_EQ(VidraFrameProcess(nullptr, rgb.data(), nullptr), 0);
    EXPECT_EQ(full.Text(), kForced + "save current mask to keyFrameMask failed.");
    for (size_t i = 0; i < mask.size(); ++i) ASSERT_EQ(g_model.m_keyframeMask[i], 0);
    DestroyQuietly();
}

}  // namespace
