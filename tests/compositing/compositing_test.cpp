// Compositing and mask refinement: the vector kernels against the scalar ones
// over whole random calls, the properties a host relies on, and the checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/cpu_features.h"
#include "compositing/composite.h"
#include "compositing/refine_mask.h"
#include "compositing/row_kernels.h"
#include "vidra.h"

namespace {

namespace c = vidra::compositing;
using Bytes = std::vector<uint8_t>;

int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

int BytesPerPixel(int32_t format) {
    return format == VIDRA_PIXEL_RGBA32 || format == VIDRA_PIXEL_BGRA32 ? 4 : 3;
}

// An image in a buffer of its own, with a canary margin and any stride sign.
struct Picture {
    Picture(int w, int h, int32_t format, int pad, bool bottomUp, std::mt19937& rng, uint8_t fill)
        : stride(w * BytesPerPixel(format) + pad), bytes(static_cast<size_t>(stride) * h + 64, fill) {
        for (auto& b : bytes) b = fill == 0 ? static_cast<uint8_t>(rng()) : fill;
        uint8_t* top = bytes.data() + 32 + (bottomUp ? static_cast<size_t>(stride) * (h - 1) : 0);
        image = {w, h, format, 0, {top, nullptr, nullptr}, {bottomUp ? -stride : stride, 0, 0}};
    }
    uint8_t* At(int x, int y) { return image.planes[0] + y * image.strides[0] + x * BytesPerPixel(image.format); }
    int stride;
    Bytes bytes;
    VidraImage image;
};

struct MaskBuffer {
    MaskBuffer(int w, int h, int pad) : bytes(static_cast<size_t>(w + pad) * h) {
        mask = {w, h, w + pad, 0, bytes.data()};
    }
    uint8_t& At(int x, int y) { return mask.data[y * mask.stride + x]; }
    Bytes bytes;
    VidraMask mask;
};

// Soft disc, hard 0/255 elsewhere, plus noise: flat runs and edges both occur.
void PersonMask(MaskBuffer& m, std::mt19937& rng, bool noisy) {
    const int w = m.mask.width, h = m.mask.height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (x - w / 2.0f) / (0.3f * w + 1), dy = (y - h / 2.0f) / (0.4f * h + 1);
            const float d = dx * dx + dy * dy;
            int v = d < 0.8f ? 255 : d > 1.2f ? 0 : static_cast<int>((1.2f - d) / 0.4f * 255);
            if (noisy && Uniform(rng, 0, 3) == 0) v = Uniform(rng, 0, 255);
            m.At(x, y) = static_cast<uint8_t>(v);
        }
}

VidraCompositeOptions Options(int32_t kind, int32_t strength = 8) {
    VidraCompositeOptions o{};
    o.structSize = sizeof o;
    o.background = kind;
    o.blurStrength = strength;
    o.color[0] = 10;
    o.color[1] = 200;
    o.color[2] = 77;
    return o;
}

const int32_t kPacked[] = {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_RGBA32, VIDRA_PIXEL_BGR24, VIDRA_PIXEL_BGRA32};

}  // namespace

// Whole calls through both kernel sets on random sizes, strides, formats and
// kinds, in place or not: the same bytes, the margins untouched.
TEST(Compositing, VectorKernelsMatchScalarOnWholeCalls) {
    if (!vidra::CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 rng(2024);
    for (int iter = 0; iter < 300; ++iter) {
        const int w = Uniform(rng, 1, iter % 10 == 0 ? 700 : 90), h = Uniform(rng, 1, 60);
        const int32_t kind = Uniform(rng, 1, 4);
        const int32_t inFmt = kPacked[Uniform(rng, 0, 3)];
        int32_t outFmt = kPacked[Uniform(rng, 0, 3)];
        if (kind == VIDRA_BACKGROUND_TRANSPARENT && BytesPerPixel(outFmt) == 3) outFmt += 1;
        const bool inPlace = Uniform(rng, 0, 3) == 0;
        if (inPlace) outFmt = kind == VIDRA_BACKGROUND_TRANSPARENT ? (inFmt + 1) / 2 * 2 : inFmt;
        const bool bottomUp = Uniform(rng, 0, 1) == 1;
        Picture frame(w, h, inFmt, Uniform(rng, 0, 9), bottomUp, rng, 0);
        Picture back(w, h, kPacked[Uniform(rng, 0, 3)], Uniform(rng, 0, 9), false, rng, 0);
        MaskBuffer mask(w, h, Uniform(rng, 0, 5));
        PersonMask(mask, rng, iter % 2 == 0);
        VidraCompositeOptions o = Options(kind, Uniform(rng, 1, iter % 5 == 0 ? 500 : 40));
        o.image = &back.image;
        if (inPlace && BytesPerPixel(inFmt) != BytesPerPixel(outFmt)) continue;

        const int outPad = Uniform(rng, 0, 9);
        const bool outBottomUp = Uniform(rng, 0, 1) == 1;
        std::vector<Bytes> results;
        for (const c::RowKernels* k : {&c::ScalarRowKernels(), &c::Avx2RowKernels()}) {
            Picture f = frame;
            f.image.planes[0] = f.bytes.data() + (frame.image.planes[0] - frame.bytes.data());
            Picture out(w, h, outFmt, outPad, outBottomUp, rng, 0xA5);
            VidraImage* target = &out.image;
            if (inPlace) target = &f.image;
            ASSERT_EQ(c::CheckCompositeArguments(&f.image, &mask.mask, &o, target), VIDRA_STATUS_OK);
            Bytes scratch(c::CompositeScratchBytes(w, h, o) + 7, 0x5A);
            c::CompositeChecked(f.image, mask.mask, o, *target, scratch.data() + 7, scratch.size() - 7, *k);
            results.push_back(inPlace ? f.bytes : out.bytes);
        }
        ASSERT_EQ(results[0], results[1]) << "iteration " << iter << " " << w << "x" << h << " kind " << kind
                                          << " formats " << inFmt << "->" << outFmt;
    }
}

TEST(Compositing, VectorKernelsMatchScalarInRefinement) {
    if (!vidra::CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 rng(77);
    for (int iter = 0; iter < 200; ++iter) {
        const int w = Uniform(rng, 1, iter % 10 == 0 ? 700 : 90), h = Uniform(rng, 1, 60);
        Picture frame(w, h, kPacked[Uniform(rng, 0, 3)], Uniform(rng, 0, 9), iter % 3 == 0, rng, 0);
        MaskBuffer mask(w, h, Uniform(rng, 0, 5));
        PersonMask(mask, rng, iter % 2 == 0);
        VidraRefineOptions o{sizeof(VidraRefineOptions), Uniform(rng, 0, 40),
                             iter % 4 == 0 ? 0.0f : std::uniform_real_distribution<float>(1e-6f, 1.0f)(rng)};
        const c::RefinePlan plan = c::PlanRefine(w, h, &o);
        std::vector<Bytes> results;
        for (const c::RowKernels* k : {&c::ScalarRowKernels(), &c::Avx2RowKernels()}) {
            MaskBuffer out(w, h, Uniform(rng, 0, 5));
            std::fill(out.bytes.begin(), out.bytes.end(), 0xA5);
            Bytes scratch(c::RefineScratchBytes(w, h, plan));
            c::RefineChecked(frame.image, mask.mask, plan, out.mask, scratch.data(), scratch.size(), *k);
            for (int y = 0; y < h; ++y) results.emplace_back(&out.At(0, y), &out.At(0, y) + w);
        }
        ASSERT_TRUE(std::equal(results.begin(), results.begin() + h, results.begin() + h))
            << "iteration " << iter << " " << w << "x" << h << " radius " << o.radius;
    }
}

// Mask 255 keeps the frame, mask 0 gives the background exactly, 4-byte
// outputs are opaque, and transparent output carries the mask as alpha;
// each in every pair of channel orders.
TEST(Compositing, MaskExtremesGiveFrameOrBackgroundExactly) {
    std::mt19937 rng(5);
    const int w = 67, h = 23;
    for (int32_t inFmt : kPacked)
        for (int32_t outFmt : kPacked)
            for (int32_t kind = 1; kind <= 4; ++kind) {
                if (kind == VIDRA_BACKGROUND_TRANSPARENT && BytesPerPixel(outFmt) == 3) continue;
                Picture frame(w, h, inFmt, 3, false, rng, 0);
                Picture back(w, h, VIDRA_PIXEL_BGR24, 0, true, rng, 0);
                Picture out(w, h, outFmt, 1, false, rng, 0xA5);
                MaskBuffer mask(w, h, 2);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) mask.At(x, y) = (x / 5 + y / 3) % 2 ? 255 : 0;
                VidraCompositeOptions o = Options(kind, 6);
                o.image = &back.image;
                ASSERT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &out.image, nullptr, 0), VIDRA_STATUS_OK);
                const auto rgb = [](int32_t fmt, const uint8_t* p, int ch) {
                    const bool bgr = fmt == VIDRA_PIXEL_BGR24 || fmt == VIDRA_PIXEL_BGRA32;
                    return p[bgr ? 2 - ch : ch];
                };
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const uint8_t m = mask.At(x, y);
                        const uint8_t* po = out.At(x, y);
                        const std::string where = std::to_string(inFmt) + "->" + std::to_string(outFmt) +
                                                  " kind " + std::to_string(kind);
                        for (int ch = 0; ch < 3; ++ch) {
                            const uint8_t got = rgb(outFmt, po, ch), fr = rgb(inFmt, frame.At(x, y), ch);
                            if (m == 255 || kind == VIDRA_BACKGROUND_TRANSPARENT) {
                                ASSERT_EQ(got, fr) << where;
                            } else if (kind == VIDRA_BACKGROUND_COLOR) {
                                ASSERT_EQ(got, o.color[ch]) << where;
                            } else if (kind == VIDRA_BACKGROUND_IMAGE) {
                                ASSERT_EQ(got, rgb(VIDRA_PIXEL_BGR24, back.At(x, y), ch)) << where;
                            }
                        }
                        if (BytesPerPixel(outFmt) == 4) {
                            ASSERT_EQ(po[3], kind == VIDRA_BACKGROUND_TRANSPARENT ? m : 255) << where;
                        }
                    }
            }
}

// A saturated person over grey: the blurred background beside the person
// stays grey, while the plain blur (no person in the mask) turns red there.
// Deep inside the person, where no background is near, both agree.
TEST(Compositing, BlurredBackgroundHasNoHalo) {
    std::mt19937 rng(9);
    const int w = 320, h = 180;
    Picture frame(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 128);
    MaskBuffer person(w, h, 0), none(w, h, 0);
    std::fill(none.bytes.begin(), none.bytes.end(), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool in = x >= 100 && x < 220 && y >= 40;
            person.At(x, y) = in ? 255 : 0;
            if (in) frame.At(x, y)[0] = 255, frame.At(x, y)[1] = 0, frame.At(x, y)[2] = 0;
        }
    for (int strength : {4, 12, 30}) {
        const VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR, strength);
        Picture clean(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1), plain(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1);
        ASSERT_EQ(VidraComposite(&frame.image, &person.mask, &o, &clean.image, nullptr, 0), VIDRA_STATUS_OK);
        ASSERT_EQ(VidraComposite(&frame.image, &none.mask, &o, &plain.image, nullptr, 0), VIDRA_STATUS_OK);
        int worstClean = 0, worstPlain = 0;
        for (int y = 60; y < 160; ++y)
            for (int x : {95, 97, 98, 99, 220, 221, 223}) {
                for (int ch = 0; ch < 3; ++ch) {
                    worstClean = std::max(worstClean, std::abs(clean.At(x, y)[ch] - 128));
                    worstPlain = std::max(worstPlain, std::abs(plain.At(x, y)[ch] - 128));
                }
            }
        EXPECT_LE(worstClean, 3) << "strength " << strength;
        EXPECT_GE(worstPlain, 20) << "strength " << strength;
    }
}

// The refined edge moves onto the picture's edge and steps there; an empty
// or full mask stays as it is.
TEST(Refinement, PullsSoftEdgeOntoPictureEdge) {
    std::mt19937 rng(3);
    const int w = 400, h = 120, edge = 200;
    Picture frame(w, h, VIDRA_PIXEL_BGRA32, 4, false, rng, 40);
    MaskBuffer mask(w, h, 3), out(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x >= edge) std::fill(frame.At(x, y), frame.At(x, y) + 3, 210);
            // A ramp 24 pixels wide centred 5 pixels right of the picture's edge.
            mask.At(x, y) = static_cast<uint8_t>(std::clamp((x - (edge + 5 - 12)) * 255 / 24, 0, 255));
        }
    const auto crossing = [&](MaskBuffer& m, int level) {
        int x = 0;
        while (x < w && m.At(x, h / 2) < level) ++x;
        return x;
    };
    VidraRefineOptions o{sizeof(VidraRefineOptions), 16, 0.0f};
    ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, &o, &out.mask, nullptr, 0), VIDRA_STATUS_OK);
    // Half-way where the picture's edge is, most of the rise in one step there.
    EXPECT_LE(std::abs(crossing(out, 128) - edge), 1);
    EXPECT_GE(out.At(edge, h / 2) - out.At(edge - 1, h / 2), 100);
    EXPECT_LE(mask.At(edge, h / 2) - mask.At(edge - 1, h / 2), 11);

    for (uint8_t level : {0, 255}) {
        std::fill(mask.bytes.begin(), mask.bytes.end(), level);
        ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &mask.mask, nullptr, 0), VIDRA_STATUS_OK);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(mask.At(x, y), level);
    }
}

// The caller's scratch (any alignment, any contents) gives the result of the
// call's own; too little is refused.
TEST(Compositing, ScratchOfCallerOrOwnGiveTheSameResult) {
    std::mt19937 rng(11);
    const int w = 150, h = 90;
    Picture frame(w, h, VIDRA_PIXEL_RGBA32, 0, false, rng, 0);
    MaskBuffer mask(w, h, 0);
    PersonMask(mask, rng, true);
    const VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR, 20);
    size_t need = 0;
    ASSERT_EQ(VidraCompositeScratchSize(w, h, &o, &need), VIDRA_STATUS_OK);
    Picture own(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1), given(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1);
    Bytes scratch(need + 3);
    for (auto& b : scratch) b = static_cast<uint8_t>(rng());
    ASSERT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &own.image, nullptr, 0), VIDRA_STATUS_OK);
    ASSERT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &given.image, scratch.data() + 3, need), VIDRA_STATUS_OK);
    EXPECT_EQ(own.bytes, given.bytes);
    Picture untouched(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1);
    EXPECT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &untouched.image, scratch.data(), need - 1),
              VIDRA_STATUS_SCRATCH_TOO_SMALL);
    EXPECT_EQ(untouched.bytes, Bytes(untouched.bytes.size(), 1));

    size_t refineNeed = 0;
    ASSERT_EQ(VidraRefineScratchSize(w, h, nullptr, &refineNeed), VIDRA_STATUS_OK);
    MaskBuffer a(w, h, 0), b(w, h, 0);
    Bytes refineScratch(refineNeed, 0xEE);
    ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &a.mask, nullptr, 0), VIDRA_STATUS_OK);
    ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &b.mask, refineScratch.data(), refineNeed),
              VIDRA_STATUS_OK);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &b.mask, refineScratch.data(), refineNeed - 1),
              VIDRA_STATUS_SCRATCH_TOO_SMALL);
}

// Each bad argument gives its status and leaves the output as it was.
TEST(Compositing, BadArgumentsGiveTheirStatusAndWriteNothing) {
    std::mt19937 rng(1);
    const int w = 40, h = 20;
    struct Case {
        const char* what;
        int32_t status;
        void (*spoil)(VidraImage& frame, VidraMask& mask, VidraCompositeOptions& o, VidraImage& out,
                      Picture& target);  // the picture the output points into
    };
    const Case cases[] = {
        {"null plane", VIDRA_STATUS_NULL_ARGUMENT, [](VidraImage& f, VidraMask&, VidraCompositeOptions&, VidraImage&, Picture&) { f.planes[0] = nullptr; }},
        {"null mask data", VIDRA_STATUS_NULL_ARGUMENT, [](VidraImage&, VidraMask& m, VidraCompositeOptions&, VidraImage&, Picture&) { m.data = nullptr; }},
        {"null image", VIDRA_STATUS_NULL_ARGUMENT, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture&) { o.background = VIDRA_BACKGROUND_IMAGE; o.image = nullptr; }},
        {"struct size", VIDRA_STATUS_BAD_STRUCT_SIZE, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture&) { o.structSize -= 4; }},
        {"zero width", VIDRA_STATUS_BAD_DIMENSIONS, [](VidraImage& f, VidraMask&, VidraCompositeOptions&, VidraImage&, Picture&) { f.width = 0; }},
        {"mask height", VIDRA_STATUS_BAD_DIMENSIONS, [](VidraImage&, VidraMask& m, VidraCompositeOptions&, VidraImage&, Picture&) { m.height -= 1; }},
        {"output width", VIDRA_STATUS_BAD_DIMENSIONS, [](VidraImage&, VidraMask&, VidraCompositeOptions&, VidraImage& out, Picture&) { out.width -= 1; }},
        {"NV12 frame", VIDRA_STATUS_UNSUPPORTED_FORMAT, [](VidraImage& f, VidraMask&, VidraCompositeOptions&, VidraImage&, Picture&) { f.format = VIDRA_PIXEL_NV12; }},
        {"I420 output", VIDRA_STATUS_UNSUPPORTED_FORMAT, [](VidraImage&, VidraMask&, VidraCompositeOptions&, VidraImage& out, Picture&) { out.format = VIDRA_PIXEL_I420; }},
        {"unknown format", VIDRA_STATUS_UNSUPPORTED_FORMAT, [](VidraImage& f, VidraMask&, VidraCompositeOptions&, VidraImage&, Picture&) { f.format = 0; }},
        {"3-byte transparent", VIDRA_STATUS_UNSUPPORTED_FORMAT, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture&) { o.background = VIDRA_BACKGROUND_TRANSPARENT; }},
        {"frame stride", VIDRA_STATUS_BAD_STRIDE, [](VidraImage& f, VidraMask&, VidraCompositeOptions&, VidraImage&, Picture&) { f.strides[0] = -(f.width * 3 - 1); }},
        {"mask stride", VIDRA_STATUS_BAD_STRIDE, [](VidraImage&, VidraMask& m, VidraCompositeOptions&, VidraImage&, Picture&) { m.stride = m.width - 1; }},
        {"strength 0", VIDRA_STATUS_BAD_OPTION, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture&) { o.blurStrength = 0; }},
        {"strength 501", VIDRA_STATUS_BAD_OPTION, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture&) { o.blurStrength = 501; }},
        {"unknown kind", VIDRA_STATUS_BAD_OPTION, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture&) { o.background = 5; }},
        {"output over frame, offset", VIDRA_STATUS_OVERLAP, [](VidraImage& f, VidraMask&, VidraCompositeOptions&, VidraImage& out, Picture&) { out = f; out.planes[0] += 3; }},
        {"output over image", VIDRA_STATUS_OVERLAP, [](VidraImage&, VidraMask&, VidraCompositeOptions& o, VidraImage&, Picture& target) { o.background = VIDRA_BACKGROUND_IMAGE; o.image = &target.image; }},
    };
    for (const Case& k : cases) {
        Picture frame(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 0), out(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 0xA5);
        MaskBuffer mask(w, h, 0);
        VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR);
        VidraImage f = frame.image, target = out.image;
        VidraMask m = mask.mask;
        k.spoil(f, m, o, target, out);
        const Bytes frameBefore = frame.bytes, outBefore = out.bytes;
        EXPECT_EQ(VidraComposite(&f, &m, &o, &target, nullptr, 0), k.status) << k.what;
        EXPECT_EQ(out.bytes, outBefore) << k.what;
        EXPECT_EQ(frame.bytes, frameBefore) << k.what;
    }
    Picture frame(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 0);
    MaskBuffer mask(w, h, 0);
    VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR);
    size_t bytes = 0;
    EXPECT_EQ(VidraComposite(nullptr, &mask.mask, &o, &frame.image, nullptr, 0), VIDRA_STATUS_NULL_ARGUMENT);
    EXPECT_EQ(VidraCompositeScratchSize(w, h, &o, nullptr), VIDRA_STATUS_NULL_ARGUMENT);
    EXPECT_EQ(VidraCompositeScratchSize(w, -1, &o, &bytes), VIDRA_STATUS_BAD_DIMENSIONS);
    VidraRefineOptions r{sizeof(VidraRefineOptions), 501, 0.0f};
    EXPECT_EQ(VidraRefineScratchSize(w, h, &r, &bytes), VIDRA_STATUS_BAD_OPTION);
    r = {sizeof(VidraRefineOptions), 0, 2.0f};
    EXPECT_EQ(VidraRefineMask(&frame.image, &mask.mask, &r, &mask.mask, nullptr, 0), VIDRA_STATUS_BAD_OPTION);
    r = {sizeof(VidraRefineOptions) + 4, 0, 0.0f};
    EXPECT_EQ(VidraRefineMask(&frame.image, &mask.mask, &r, &mask.mask, nullptr, 0), VIDRA_STATUS_BAD_STRUCT_SIZE);
    VidraMask shifted = mask.mask;
    shifted.data += 1;
    EXPECT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &shifted, nullptr, 0), VIDRA_STATUS_OVERLAP);
}
