// Two instances on two threads give their sequential masks; ThreadSanitizer
// (make test-tsan) must report no race.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "instance_support.h"

namespace {

using namespace support;

// Creation and destruction run concurrently too.
std::vector<std::vector<uint8_t>> SegmentAll(const std::vector<OwnedImage>& frames) {
    std::vector<std::vector<uint8_t>> masks;
    VidraSegmenter* instance = NewInstance(frames[0].image.width, frames[0].image.height);
    for (const OwnedImage& f : frames) masks.push_back(Segment(instance, f.image));
    VidraSegmenterDestroy(instance);
    return masks;
}

// Every input path runs on both threads.
std::vector<OwnedImage> Sequence(const RgbImage& photo, int first) {
    const int32_t formats[] = {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_NV12, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_I420};
    std::vector<OwnedImage> frames;
    for (int i = 0; i < 8; ++i) {
        const RgbImage variant = Variant(photo, (i / 2) * 5, i % 3);
        const int32_t format = formats[(first + i) % 4];
        frames.push_back(format == VIDRA_PIXEL_NV12 || format == VIDRA_PIXEL_I420 ? Yuv(variant, format)
                                                                                 : Packed(variant, format, 8, false));
    }
    return frames;
}

TEST(InstanceThreads, TwoInstancesAtOnceGiveTheirSequentialMasks) {
    const std::vector<OwnedImage> first = Sequence(LoadTestFrame("astronaut.ppm"), 0);
    const std::vector<OwnedImage> second = Sequence(LoadTestFrame("messi.ppm"), 1);
    const auto firstAlone = SegmentAll(first), secondAlone = SegmentAll(second);
    for (int round = 0; round < 2; ++round) {
        std::vector<std::vector<uint8_t>> firstTogether, secondTogether;
        std::thread a([&] { firstTogether = SegmentAll(first); });
        std::thread b([&] { secondTogether = SegmentAll(second); });
        a.join();
        b.join();
        EXPECT_EQ(firstTogether, firstAlone);
        EXPECT_EQ(secondTogether, secondAlone);
    }
}

}  // namespace
