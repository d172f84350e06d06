// The image module: the format table's plane geometry, the descriptor checks
// and the exact overlap test against byte-by-byte marking.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/image_checks.h"
#include "image/overlap.h"
#include "image/pixel_format.h"
#include "vidra.h"

namespace {

namespace im = vidra::image;

// Marks the bytes of a row set inside `buffer` (whose first byte is base).
void Mark(const im::RowSet& s, const uint8_t* base, std::vector<int>& marks, int tag) {
    for (int64_t i = 0; i < s.count; ++i)
        for (int64_t x = 0; x < s.rowBytes; ++x) marks[static_cast<size_t>(s.first + i * s.stride + x - base)] |= tag;
}

}  // namespace

// Random sets of rows in one buffer, both stride signs, equal and different
// strides, contiguous and single rows: the answer is whether a byte is marked twice.
TEST(Overlap, AgreesWithByteMarking) {
    std::mt19937 rng(7);
    std::vector<uint8_t> buffer(4096);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int overlapping = 0, apart = 0;
    for (int iter = 0; iter < 40000; ++iter) {
        im::RowSet sets[2];
        for (int k = 0; k < 2; ++k) {
            const int64_t rowBytes = pick(1, 24);
            int64_t stride = rowBytes + (pick(0, 2) == 0 ? 0 : pick(0, 40));
            if (k == 1 && pick(0, 2) == 0) stride = sets[0].stride < 0 ? -sets[0].stride : sets[0].stride;
            if (stride < rowBytes) stride = rowBytes;
            const int64_t count = pick(1, 12);
            const bool up = pick(0, 1) == 1;
            const int64_t span = (count - 1) * stride + rowBytes;
            const int64_t start = pick(0, static_cast<int>(1200 - span < 0 ? 0 : 1200 - span)) + 1000 * k / 4;
            const uint8_t* top = buffer.data() + start + (up ? (count - 1) * stride : 0);
            sets[k] = {top, up ? -stride : stride, rowBytes, count};
        }
        std::vector<int> marks(buffer.size(), 0);
        Mark(sets[0], buffer.data(), marks, 1);
        Mark(sets[1], buffer.data(), marks, 2);
        bool shared = false;
        for (int m : marks) shared = shared || m == 3;
        (shared ? overlapping : apart) += 1;
        ASSERT_EQ(im::RowSetsOverlap(sets[0], sets[1]), shared) << "iteration " << iter;
        ASSERT_EQ(im::RowSetsOverlap(sets[1], sets[0]), shared) << "iteration " << iter;
    }
    // Both answers were exercised often.
    EXPECT_GT(overlapping, 4000);
    EXPECT_GT(apart, 4000);
}

// The layouts hosts use, by name.
TEST(Overlap, NamedLayouts) {
    std::vector<uint8_t> b(100000);
    uint8_t* p = b.data();
    const struct {
        const char* what;
        im::RowSet a, b;
        bool overlap;
    } cases[] = {
        {"left and right halves", {p, 200, 120, 50}, {p + 120, 200, 80, 50}, false},
        {"right half one byte wider", {p, 200, 120, 50}, {p + 119, 200, 81, 50}, true},
        {"even and odd rows", {p, 200, 100, 25}, {p + 100, 200, 100, 25}, false},
        {"odd rows shifted a byte", {p, 200, 100, 25}, {p + 101, 200, 99, 25}, false},
        {"odd rows one byte too long", {p, 200, 100, 25}, {p + 101, 200, 100, 25}, true},
        {"interleaved, last byte shared", {p, 200, 101, 25}, {p + 100, 200, 100, 25}, true},
        {"bottom-up over top-down", {p + 49 * 200, -200, 100, 50}, {p, 200, 100, 50}, true},
        {"bottom-up right half", {p + 49 * 200 + 100, -200, 100, 50}, {p, 200, 100, 50}, false},
        {"end meets start", {p, 100, 100, 10}, {p + 1000, 100, 100, 10}, false},
        {"one byte into the next", {p, 100, 100, 10}, {p + 999, 100, 100, 10}, true},
        {"different strides, in the gaps", {p, 300, 100, 30}, {p + 100, 150, 50, 60}, false},
        {"different strides, a byte over", {p, 300, 100, 30}, {p + 100, 150, 51, 60}, true},
        {"different strides, apart", {p, 300, 100, 30}, {p + 100, 600, 200, 15}, false},
        {"mask after a gap row", {p, 400, 100, 20}, {p + 150, 400, 200, 20}, false},
        {"single row inside a gap", {p, 200, 100, 50}, {p + 1100, 1, 100, 1}, false},
        {"single row across rows", {p, 200, 100, 50}, {p + 1100, 1, 101, 1}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(im::RowSetsOverlap(c.a, c.b), c.overlap) << c.what;
        EXPECT_EQ(im::RowSetsOverlap(c.b, c.a), c.overlap) << c.what;
    }
}

// Plane geometry of every format, odd sizes rounding chroma up.
TEST(PixelFormats, PlaneGeometry) {
    const struct {
        int32_t format;
        int planes, bytes0, chromaRowBytes;
    } cases[] = {
        {VIDRA_PIXEL_RGB24, 1, 3 * 7, 0}, {VIDRA_PIXEL_RGBA32, 1, 4 * 7, 0}, {VIDRA_PIXEL_BGR24, 1, 3 * 7, 0},
        {VIDRA_PIXEL_BGRA32, 1, 4 * 7, 0}, {VIDRA_PIXEL_NV12, 2, 7, 8}, {VIDRA_PIXEL_I420, 3, 7, 4},
    };
    for (const auto& c : cases) {
        const im::FormatInfo* f = im::FindFormat(c.format);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->planes, c.planes);
        EXPECT_EQ(im::PlaneRowBytes(*f, 0, 7), c.bytes0);
        EXPECT_EQ(im::PlaneHeight(*f, 0, 5), 5);
        for (int p = 1; p < f->planes; ++p) {
            EXPECT_EQ(im::PlaneRowBytes(*f, p, 7), c.chromaRowBytes) << c.format;
            EXPECT_EQ(im::PlaneHeight(*f, p, 5), 3) << c.format;
            EXPECT_EQ(im::PlaneWidth(*f, p, 8), 4) << c.format;
        }
        if (f->planes == 1) {
            const im::ChannelOrder& o = f->order;
            EXPECT_EQ(o.red + o.green + o.blue, 3);
            EXPECT_EQ(o.red, c.format == VIDRA_PIXEL_BGR24 || c.format == VIDRA_PIXEL_BGRA32 ? 2 : 0);
        }
    }
    EXPECT_EQ(im::FindFormat(0), nullptr);
    EXPECT_EQ(im::FindFormat(7), nullptr);
    // No overflow at the largest width.
    EXPECT_EQ(im::PlaneWidth(*im::FindFormat(VIDRA_PIXEL_I420), 1, INT32_MAX), 1 << 30);
    EXPECT_EQ(im::PlaneRowBytes(*im::FindFormat(VIDRA_PIXEL_RGBA32), 0, INT32_MAX), int64_t{INT32_MAX} * 4);
}

// Each fault of a 5 x 3 descriptor gives its status; the unused planes are ignored.
TEST(ImageChecks, StatusOfEachFault) {
    uint8_t pixels[256];
    const struct {
        const char* what;
        int32_t format;
        int32_t strides[3];
        bool nullPlane[3];
        int32_t width;
        int32_t status;
    } cases[] = {
        {"RGB24", VIDRA_PIXEL_RGB24, {15, 0, 0}, {false, true, true}, 5, VIDRA_STATUS_OK},
        {"RGB24 bottom-up", VIDRA_PIXEL_RGB24, {-15, 0, 0}, {false, true, true}, 5, VIDRA_STATUS_OK},
        {"RGB24 short stride", VIDRA_PIXEL_RGB24, {-14, 0, 0}, {false, false, false}, 5, VIDRA_STATUS_BAD_STRIDE},
        {"BGRA32 short stride", VIDRA_PIXEL_BGRA32, {19, 0, 0}, {false, false, false}, 5, VIDRA_STATUS_BAD_STRIDE},
        {"NV12", VIDRA_PIXEL_NV12, {5, 6, 0}, {false, false, true}, 5, VIDRA_STATUS_OK},
        {"NV12 chroma rounds up", VIDRA_PIXEL_NV12, {5, 5, 0}, {false, false, true}, 5, VIDRA_STATUS_BAD_STRIDE},
        {"NV12 without chroma", VIDRA_PIXEL_NV12, {5, 6, 0}, {false, true, false}, 5, VIDRA_STATUS_NULL_ARGUMENT},
        {"I420", VIDRA_PIXEL_I420, {5, -3, 3}, {false, false, false}, 5, VIDRA_STATUS_OK},
        {"I420 short V", VIDRA_PIXEL_I420, {5, 3, -2}, {false, false, false}, 5, VIDRA_STATUS_BAD_STRIDE},
        {"I420 without V", VIDRA_PIXEL_I420, {5, 3, 3}, {false, false, true}, 5, VIDRA_STATUS_NULL_ARGUMENT},
        {"null plane 0", VIDRA_PIXEL_RGB24, {15, 0, 0}, {true, false, false}, 5, VIDRA_STATUS_NULL_ARGUMENT},
        {"unknown format", 9, {15, 15, 15}, {false, false, false}, 5, VIDRA_STATUS_UNSUPPORTED_FORMAT},
        {"zero width", VIDRA_PIXEL_RGB24, {15, 0, 0}, {false, false, false}, 0, VIDRA_STATUS_BAD_DIMENSIONS},
        {"other width", VIDRA_PIXEL_RGB24, {15, 0, 0}, {false, false, false}, 4, VIDRA_STATUS_BAD_DIMENSIONS},
    };
    for (const auto& c : cases) {
        VidraImage image{c.width, 3, c.format, 0, {}, {c.strides[0], c.strides[1], c.strides[2]}};
        for (int p = 0; p < 3; ++p) image.planes[p] = c.nullPlane[p] ? nullptr : pixels + 100;
        EXPECT_EQ(im::CheckImage(image, 5, 3), c.status) << c.what;
        im::ImageView view;
        if (c.width != 5) continue;
        EXPECT_EQ(im::ViewImage(image, &view), c.status) << c.what;
        if (c.status != VIDRA_STATUS_OK) continue;
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(view.planes[p], p < view.format->planes ? pixels + 100 : nullptr) << c.what;
        }
    }
    const VidraMask masks[] = {{5, 3, 5, 0, pixels}, {5, 3, -4, 0, pixels}, {5, 3, 5, 0, nullptr}, {5, 2, 5, 0, pixels}};
    const int32_t maskStatus[] = {VIDRA_STATUS_OK, VIDRA_STATUS_BAD_STRIDE, VIDRA_STATUS_NULL_ARGUMENT,
                                  VIDRA_STATUS_BAD_DIMENSIONS};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(im::CheckMask(masks[i], 5, 3), maskStatus[i]) << "mask " << i;
}
