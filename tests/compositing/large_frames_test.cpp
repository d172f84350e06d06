// Frames near the int32 limits: the scratch queries answer sizes that hold
// what the calls use, or refuse; the calls refuse too small a scratch before
// touching any buffer (the buffers here are address space no byte of which
// may be read or written).
#include <gtest/gtest.h>

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include "vidra.h"

namespace {

// Inaccessible address space of `bytes`: any access faults.
class Reserved {
public:
    explicit Reserved(uint64_t bytes) : bytes_(bytes) {
#ifdef _WIN32
        base_ = VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
#else
        base_ = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (base_ == MAP_FAILED) base_ = nullptr;
#endif
    }
    ~Reserved() {
#ifdef _WIN32
        if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
#else
        if (base_ != nullptr) munmap(base_, bytes_);
#endif
    }
    uint8_t* get() const { return static_cast<uint8_t*>(base_); }

private:
    void* base_;
    uint64_t bytes_;
};

constexpr int32_t kMax = INT32_MAX;

VidraCompositeOptions Blur(int32_t strength, int32_t kind = VIDRA_BACKGROUND_BLUR) {
    VidraCompositeOptions o{};
    o.structSize = sizeof o;
    o.background = kind;
    o.blurStrength = strength;
    return o;
}

}  // namespace

// OK with an answer at least what one buffer of the call needs (a row; the
// whole frame's luminance for refinement) and within 128 bytes per pixel, or
// BAD_DIMENSIONS where even 64-bit sizes cannot hold the scratch.
TEST(ScratchSize, ExtremeSizesAnswerWhatTheCallNeedsOrRefuse) {
    const struct {
        int32_t width, height;
        int32_t kind;  // a background kind, or 0 for refinement
        int32_t param; // blur strength or refinement radius
        int32_t status;
    } cases[] = {
        {1, kMax, VIDRA_BACKGROUND_BLUR, 500, VIDRA_STATUS_OK},
        {1, kMax, VIDRA_BACKGROUND_BLUR, 1, VIDRA_STATUS_OK},
        {kMax, 1, VIDRA_BACKGROUND_BLUR, 500, VIDRA_STATUS_OK},
        {kMax, 1, VIDRA_BACKGROUND_BLUR, 1, VIDRA_STATUS_OK},
        {kMax - 1, kMax - 1, VIDRA_BACKGROUND_BLUR, 500, VIDRA_STATUS_OK},
        {kMax, kMax, VIDRA_BACKGROUND_BLUR, 1, VIDRA_STATUS_BAD_DIMENSIONS},
        {kMax, kMax, VIDRA_BACKGROUND_COLOR, 0, VIDRA_STATUS_OK},
        {kMax, 3, VIDRA_BACKGROUND_TRANSPARENT, 0, VIDRA_STATUS_OK},
        {1, kMax - 1, 0, 100, VIDRA_STATUS_OK},
        {1, kMax, 0, 0, VIDRA_STATUS_OK},
        {kMax, 1, 0, 1, VIDRA_STATUS_OK},
        {kMax, 2, 0, 500, VIDRA_STATUS_OK},
        {65536, 65536, 0, 0, VIDRA_STATUS_OK},
        {kMax, kMax, 0, 500, VIDRA_STATUS_OK},
        {kMax, kMax, 0, 1, VIDRA_STATUS_BAD_DIMENSIONS},
    };
    for (const auto& c : cases) {
        size_t bytes = 12345;
        int32_t status;
        if (c.kind != 0) {
            const VidraCompositeOptions o = Blur(c.param, c.kind);
            status = VidraCompositeScratchSize(c.width, c.height, &o, &bytes);
        } else {
            const VidraRefineOptions o{sizeof(VidraRefineOptions), c.param, 0.0f};
            status = VidraRefineScratchSize(c.width, c.height, &o, &bytes);
        }
        const long double pixels = static_cast<long double>(c.width) * c.height;
        const long double least = c.kind == 0 ? pixels : static_cast<long double>(c.width);
        const auto what = ::testing::Message() << c.width << " x " << c.height << " kind " << c.kind << " param "
                                               << c.param;
        EXPECT_EQ(status, c.status) << what;
        if (status != VIDRA_STATUS_OK) {
            EXPECT_EQ(bytes, 12345u) << what;
            continue;
        }
        EXPECT_GE(static_cast<long double>(bytes), least) << what;
        EXPECT_LE(static_cast<long double>(bytes), 128 * pixels + (1 << 20)) << what;
        EXPECT_LE(bytes, static_cast<size_t>(PTRDIFF_MAX)) << what;
    }
}

// 1 x (2^31 - 2) refinement with radius 100 and 1 x INT32_MAX blur 500: a
// scratch one byte short of the answer is refused and nothing is touched.
TEST(ScratchSize, TallFramesRefuseAShortScratchUntouched) {
    const int32_t h = kMax - 1;
    Reserved frame(uint64_t{3} * kMax), mask(kMax), out(kMax);
    ASSERT_TRUE(frame.get() && mask.get() && out.get());
    VidraImage image{1, h, VIDRA_PIXEL_RGB24, 0, {frame.get(), nullptr, nullptr}, {3, 0, 0}};
    VidraMask in{1, h, 1, 0, mask.get()}, refined{1, h, 1, 0, out.get()};

    const VidraRefineOptions r{sizeof(VidraRefineOptions), 100, 0.0f};
    size_t need = 0;
    ASSERT_EQ(VidraRefineScratchSize(1, h, &r, &need), VIDRA_STATUS_OK);
    ASSERT_GE(need, static_cast<size_t>(h));
    {
        Reserved scratch(need);
        ASSERT_TRUE(scratch.get());
        EXPECT_EQ(VidraRefineMask(&image, &in, &r, &refined, scratch.get(), need - 1), VIDRA_STATUS_SCRATCH_TOO_SMALL);
    }

    const VidraCompositeOptions o = Blur(500);
    image.height = in.height = kMax;
    Reserved wide(uint64_t{4} * kMax);
    ASSERT_TRUE(wide.get());
    VidraImage output{1, kMax, VIDRA_PIXEL_RGBA32, 0, {wide.get(), nullptr, nullptr}, {4, 0, 0}};
    ASSERT_EQ(VidraCompositeScratchSize(1, kMax, &o, &need), VIDRA_STATUS_OK);
    Reserved scratch(need);
    ASSERT_TRUE(scratch.get());
    EXPECT_EQ(VidraComposite(&image, &in, &o, &output, scratch.get(), need - 1), VIDRA_STATUS_SCRATCH_TOO_SMALL);
}
