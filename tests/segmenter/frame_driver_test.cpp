#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "segmenter_fixture.h"

namespace {

// A frame with some structure, so its thumbnail is not all zero.
std::vector<uint8_t> PatternFrame(int width, int height, int bytesPerPixel, int seed) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * bytesPerPixel);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>((i * 7 + seed * 31 + i / 97) & 0xFF);
    return frame;
}

struct FrameLog {
    bool compared;   // a similarity was logged
    bool inference;  // the network was asked to run
    std::string text;
};

FrameLog RunFrame(const std::vector<uint8_t>& frame, uint8_t* mask) {
    LogCapture log;
    EXPECT_EQ(VidraFrameProcess(nullptr, frame.data(), mask), 0);
    FrameLog result;
    result.text = log.Text();
    result.compared = result.text.rfind("CosineSimilarity: ", 0) == 0;
    result.inference = result.text.find("NNXRun start.\n") != std::string::npos;
    return result;
}

TEST(FrameDriver, FirstFrameAfterCreationIsAKeyframeAgainstTheZeroThumbnail) {
    ASSERT_EQ(CreateWithoutModel(64, 48, 1, kSegParams144x80), -1);
    g_model.m_frameCounter = 0;
    const auto frame = PatternFrame(64, 48, 3, 1);
    std::vector<uint8_t> mask(64 * 48);
    const FrameLog first = RunFrame(frame, mask.data());
    const std::string prefix = "CosineSimilarity: ";
    const size_t end = first.text.find("save keyframe8x succeeded.");
    ASSERT_NE(end, std::string::npos) << first.text;
    EXPECT_TRUE(IsNanText(first.text.substr(prefix.size(), end - prefix.size()))) << first.text;
    EXPECT_EQ(first.text.substr(end), "save keyframe8x succeeded.NNXRun start.\n");

    // The same frame again: unchanged, so the last mask is repeated byte for byte.
    std::vector<uint8_t> second(mask.size(), 0xEE);
    const FrameLog again = RunFrame(frame, second.data());
    EXPECT_TRUE(again.compared);
    EXPECT_FALSE(again.inference);
    EXPECT_EQ(again.text, "CosineSimilarity: 1.000000");
    EXPECT_EQ(second, mask);
    DestroyQuietly();
}

TEST(FrameDriver, KeyframeScheduleRepeatsEvery61FramesAndSurvivesRecreation) {
    ASSERT_EQ(CreateWithoutModel(64, 48, 2, kSegParams144x80), -1);
    g_model.m_frameCounter = 0;
    const auto frame = PatternFrame(64, 48, 4, 2);
    std::vector<uint8_t> mask(64 * 48);
    RunFrame(frame, mask.data());  // frame 1: keyframe against the zero thumbnail
    std::vector<int> forced;
    for (int number = 2; number <= 1 + 2 * 61; ++number) {
        const FrameLog f = RunFrame(frame, mask.data());
        if (!f.compared) {
            EXPECT_TRUE(f.inference);
            EXPECT_EQ(f.text, "save keyframe8x succeeded.NNXRun start.\n");
            forced.push_back(number);
        } else {
            EXPECT_FALSE(f.inference) << number;  // identical frames are skipped
        }
    }
    const std::vector<int> expected = {10, 20, 30, 40, 50, 60, 61, 71, 81, 91, 101, 111, 121, 122};
    EXPECT_EQ(forced, expected);

    // A new creation keeps the counter: at 9, the next frame is forced.
    g_model.m_frameCounter = 9;
    ASSERT_EQ(CreateWithoutModel(64, 48, 2, kSegParams144x80), -1);
    EXPECT_FALSE(RunFrame(frame, mask.data()).compared);
    EXPECT_EQ(g_model.m_frameCounter, 10);
    DestroyQuietly();
}

TEST(FrameDriver, ScaledThumbnailIsUnchangedButBlackNeverIs) {
    // Similarity ignores overall scaling; an all-zero image gives not-a-number.
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

    // Black frames therefore always reach the network.
    ASSERT_EQ(CreateWithoutModel(64, 48, 1, kSegParams144x80), -1);
    g_model.m_frameCounter = 0;
    const std::vector<uint8_t> black(64 * 48 * 3, 0);
    std::vector<uint8_t> mask(64 * 48);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(RunFrame(black, mask.data()).inference);
    DestroyQuietly();
}

TEST(FrameDriver, OtherFrameTypesPrepareNoInputAndNullMasksAreSafe) {
    ASSERT_EQ(CreateWithoutModel(64, 48, 7, kSegParams144x80), -1);
    g_model.m_frameCounter = 0;
    const auto frame = PatternFrame(64, 48, 4, 3);
    std::vector<uint8_t> mask(64 * 48);
    RunFrame(frame, mask.data());
    for (int i = 0; i < 138240; ++i) ASSERT_EQ(g_model.m_inputTensor[i], 0.0f);
    for (int i = 0; i < 46080; ++i) ASSERT_EQ(g_model.m_lumaImage[i], 0);

    // A full run with a null mask clears the stored mask; a skipped one keeps it.
    ASSERT_EQ(CreateWithoutModel(64, 48, 1, kSegParams144x80), -1);
    g_model.m_frameCounter = 0;
    const auto rgb = PatternFrame(64, 48, 3, 4);
    RunFrame(rgb, mask.data());
    std::memset(g_model.m_keyframeMask, 0x55, mask.size());
    LogCapture log;
    EXPECT_EQ(VidraFrameProcess(nullptr, rgb.data(), nullptr), 0);  // skipped
    EXPECT_EQ(log.Text(), "CosineSimilarity: 1.000000error: memcpy_s keyframeMask to current mask failed.");
    EXPECT_EQ(g_model.m_keyframeMask[0], 0x55);
    g_model.m_frameCounter = 9;  // forced keyframe: a full run
    LogCapture full;
    EXPECT_EQ(VidraFrameProcess(nullptr, rgb.data(), nullptr), 0);
    const std::string text = full.Text();
    EXPECT_NE(text.find("save current mask to keyFrameMask failed."), std::string::npos) << text;
    for (size_t i = 0; i < mask.size(); ++i) ASSERT_EQ(g_model.m_keyframeMask[i], 0);
    DestroyQuietly();
}

}  // namespace
