// Two instances on two threads at once give the masks they give one after the
// other. Also built with ThreadSanitizer (make test-tsan), which must report
// no race: instances share no state, inside the library or the engine.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "instance_support.h"

namespace {

using namespace support;

using Masks = std::vector<std::vector<uint8_t>>;

// Creates an instance, segments the sequence and destroys it; the creation
// and destruction are part of what runs concurrently. Each frame comes in
// another layout, so that every input path runs on both threads.
Masks SegmentAll(const std::vector<OwnedImage>& frames) {
    Masks masks;
    VidraSegmenter* instance = NewInstance(frames[0].image.width, frames[0].image.height);
    if (instance == nullptr) return masks;
    for (const OwnedImage& f : frames) masks.push_back(Segment(instance, f.image));
    VidraSegmenterDestroy(instance);
    return masks;
}

std::vector<OwnedImage> Sequence(const RgbImage& photo, int first) {
    const int32_t formats[] = {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_NV12, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_I420};
    std::vector<OwnedImage> frames;
    for (int i = 0; i < 8; ++i) {
        const RgbImage variant = Variant(photo, (i / 2) * 5, i % 3);
        const int32_t format = formats[(first + i) % 4];
        frames.push_back(format == VIDRA_PIXEL_NV12 || format == VIDRA_PIXEL_I420
                             ? Yuv(variant, format)
                             : Packed(variant, format, 8, false));
    }
    return frames;
}

TEST(InstanceThreads, TwoInstancesAtOnceGiveTheirSequentialMasks) {
    const std::vector<OwnedImage> first = Sequence(LoadTestFrame("astronaut.ppm"), 0);
    const std::vector<OwnedImage> second = Sequence(LoadTestFrame("messi.ppm"), 1);
    const Masks firstAlone = SegmentAll(first);
    const Masks secondAlone = SegmentAll(second);
    ASSERT_EQ(firstAlone.size(), first.size());
    ASSERT_EQ(secondAlone.size(), second.size());

    for (int round = 0; round < 2; ++round) {
        Masks firstTogether, secondTogether;
        std::thread a([&] { firstTogether = SegmentAll(first); });
        std::thread b([&] { secondTogether = SegmentAll(second); });
        a.join();
        b.join();
        EXPECT_EQ(firstTogether, firstAlone);
        EXPECT_EQ(secondTogether, secondAlone);
    }
}

}  // namespace
