// Compositing and mask refinement: vector against scalar, the properties a host relies on, the checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
int BytesPerPixel(int32_t format) { return format == VIDRA_PIXEL_RGBA32 || format == VIDRA_PIXEL_BGRA32 ? 4 : 3; }

// An image with a canary margin and either stride sign; fill 0: random bytes.
struct Picture {
    Picture(int w, int h, int32_t format, int pad, bool bottomUp, std::mt19937& rng, uint8_t fill)
        : bytes(static_cast<size_t>(w * BytesPerPixel(format) + pad) * h + 64, fill) {
        const int stride = w * BytesPerPixel(format) + pad;
        for (auto& b : bytes) b = fill == 0 ? static_cast<uint8_t>(rng()) : fill;
        uint8_t* top = bytes.data() + 32 + (bottomUp ? static_cast<size_t>(stride) * (h - 1) : 0);
        image = {w, h, format, 0, {top, nullptr, nullptr}, {bottomUp ? -stride : stride, 0, 0}};
    }
    Picture(const Picture& o) : bytes(o.bytes), image(o.image) {
        image.planes[0] = bytes.data() + (o.image.planes[0] - o.bytes.data());
    }
    uint8_t* At(int x, int y) { return image.planes[0] + y * image.strides[0] + x * BytesPerPixel(image.format); }
    Bytes bytes;
    VidraImage image;
};

struct MaskBuffer {
    MaskBuffer(int w, int h, int pad, uint8_t fill = 0) : bytes(static_cast<size_t>(w + pad) * h, fill) {
        mask = {w, h, w + pad, 0, bytes.data()};
    }
    uint8_t& At(int x, int y) { return mask.data[y * mask.stride + x]; }
    Bytes bytes;
    VidraMask mask;
};

// Soft disc, hard 0/255 elsewhere, optional noise.
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
    return {sizeof(VidraCompositeOptions), kind, strength, {10, 200, 77, 0}, nullptr};
}

const int32_t kPacked[] = {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_RGBA32, VIDRA_PIXEL_BGR24, VIDRA_PIXEL_BGRA32};

}  // namespace

// Whole random composite and refine calls through both kernel sets: the same bytes, margins included.
TEST(Compositing, VectorKernelsMatchScalarOnWholeCalls) {
    if (!vidra::CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 rng(2024);
    for (int iter = 0; iter < 300; ++iter) {
        const int w = Uniform(rng, 1, iter % 10 == 0 ? 700 : 90), h = Uniform(rng, 1, 60);
        const int32_t kind = Uniform(rng, 1, 4), inFmt = kPacked[Uniform(rng, 0, 3)];
        int32_t outFmt = kPacked[Uniform(rng, 0, 3)];
        if (kind == VIDRA_BACKGROUND_TRANSPARENT && BytesPerPixel(outFmt) == 3) outFmt += 1;
        const bool inPlace = Uniform(rng, 0, 3) == 0 && (kind != VIDRA_BACKGROUND_TRANSPARENT || BytesPerPixel(inFmt) == 4);
        if (inPlace) outFmt = inFmt;
        const Picture frame(w, h, inFmt, Uniform(rng, 0, 9), Uniform(rng, 0, 1) == 1, rng, 0);
        Picture back(w, h, kPacked[Uniform(rng, 0, 3)], Uniform(rng, 0, 9), false, rng, 0);
        MaskBuffer mask(w, h, Uniform(rng, 0, 5));
        PersonMask(mask, rng, iter % 2 == 0);
        VidraCompositeOptions o = Options(kind, Uniform(rng, 1, iter % 5 == 0 ? 500 : 40));
        o.image = &back.image;
        const VidraRefineOptions r{sizeof(VidraRefineOptions), Uniform(rng, 0, 40),
                                   iter % 4 == 0 ? 0.0f : std::uniform_real_distribution<float>(1e-6f, 1.0f)(rng)};
        const c::RefinePlan plan = c::PlanRefine(w, h, &r);
        const int outPad = Uniform(rng, 0, 9), maskPad = Uniform(rng, 0, 5);
        const bool outBottomUp = Uniform(rng, 0, 1) == 1;

        std::vector<Bytes> composites, refined;
        for (const c::RowKernels* k : {&c::ScalarRowKernels(), &c::Avx2RowKernels()}) {
            Picture f = frame, out(w, h, outFmt, outPad, outBottomUp, rng, 0xA5);
            VidraImage* target = inPlace ? &f.image : &out.image;
            ASSERT_EQ(c::CheckCompositeArguments(&f.image, &mask.mask, &o, target), VIDRA_STATUS_OK);
            size_t need = 0;
            ASSERT_TRUE(c::CompositeScratchBytes(w, h, o, &need));
            Bytes scratch(need + 7, 0x5A);
            c::CompositeChecked(f.image, mask.mask, o, *target, scratch.data() + 7, scratch.size() - 7, *k,
                                c::ActiveYuvKernels());
            composites.push_back(inPlace ? f.bytes : out.bytes);

            MaskBuffer m(w, h, maskPad, 0xA5);
            ASSERT_TRUE(c::RefineScratchBytes(w, h, plan, &need));
            scratch.assign(need, 0x5A);
            c::RefineChecked(frame.image, mask.mask, plan, m.mask, scratch.data(), scratch.size(), *k);
            refined.push_back(m.bytes);
        }
        ASSERT_EQ(composites[0], composites[1]) << "iteration " << iter << " kind " << kind;
        ASSERT_EQ(refined[0], refined[1]) << "iteration " << iter << " radius " << r.radius;
    }
}

// Mask 255 keeps the frame, 0 gives the background, 4-byte outputs are opaque,
// transparent carries the mask as alpha, for every pair of channel orders. The
// caller's scratch gives the result of the call's own; too little writes nothing.
TEST(Compositing, MaskExtremesExactWithOwnOrCallerScratch) {
    std::mt19937 rng(5);
    const int w = 67, h = 23;
    MaskBuffer mask(w, h, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) mask.At(x, y) = (x / 5 + y / 3) % 2 ? 255 : 0;
    Picture back(w, h, VIDRA_PIXEL_BGR24, 0, true, rng, 0);
    const auto rgb = [](int32_t fmt, const uint8_t* p, int ch) {  // ch 0 red, 1 green, 2 blue
        return p[fmt == VIDRA_PIXEL_BGR24 || fmt == VIDRA_PIXEL_BGRA32 ? 2 - ch : ch];
    };
    for (int32_t inFmt : kPacked)
        for (int32_t outFmt : kPacked)
            for (int32_t kind = 1; kind <= 4; ++kind) {
                const bool transparent = kind == VIDRA_BACKGROUND_TRANSPARENT;
                if (transparent && BytesPerPixel(outFmt) == 3) continue;
                Picture frame(w, h, inFmt, 3, false, rng, 0), out(w, h, outFmt, 1, false, rng, 0xA5), given(out);
                VidraCompositeOptions o = Options(kind, 6);
                o.image = &back.image;
                size_t need = 0;
                ASSERT_EQ(VidraCompositeScratchSize(w, h, &o, &need), VIDRA_STATUS_OK);
                Bytes scratch(need + 3);
                for (auto& b : scratch) b = static_cast<uint8_t>(rng());
                EXPECT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &given.image, scratch.data(), need - 1),
                          VIDRA_STATUS_SCRATCH_TOO_SMALL);
                ASSERT_EQ(given.bytes, out.bytes);
                ASSERT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &out.image, nullptr, 0), VIDRA_STATUS_OK);
                ASSERT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &given.image, scratch.data() + 3, need),
                          VIDRA_STATUS_OK);
                ASSERT_EQ(given.bytes, out.bytes);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const uint8_t m = mask.At(x, y), *po = out.At(x, y);
                        const bool keep = m == 255 || transparent;
                        for (int ch = 0; ch < 3 && (keep || kind != VIDRA_BACKGROUND_BLUR); ++ch) {
                            const uint8_t want = keep ? rgb(inFmt, frame.At(x, y), ch)
                                                 : kind == VIDRA_BACKGROUND_COLOR ? o.color[ch]
                                                                                  : rgb(VIDRA_PIXEL_BGR24, back.At(x, y), ch);
                            ASSERT_EQ(rgb(outFmt, po, ch), want) << inFmt << "->" << outFmt << " kind " << kind;
                        }
                        if (BytesPerPixel(outFmt) == 4) {
                            ASSERT_EQ(po[3], transparent ? m : 255) << inFmt << "->" << outFmt << " kind " << kind;
                        }
                    }
            }
}

// A red person over grey: the blurred background beside it stays grey (a plain blur turns red).
TEST(Compositing, BlurredBackgroundHasNoHalo) {
    std::mt19937 rng(9);
    const int w = 320, h = 180;
    Picture frame(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 128);
    MaskBuffer person(w, h, 0), none(w, h, 0);
    for (int y = 40; y < h; ++y)
        for (int x = 100; x < 220; ++x) {
            person.At(x, y) = 255;
            frame.At(x, y)[0] = 255, frame.At(x, y)[1] = 0, frame.At(x, y)[2] = 0;
        }
    for (int strength : {4, 12, 30}) {
        const VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR, strength);
        Picture clean(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1), plain(clean);
        ASSERT_EQ(VidraComposite(&frame.image, &person.mask, &o, &clean.image, nullptr, 0), VIDRA_STATUS_OK);
        ASSERT_EQ(VidraComposite(&frame.image, &none.mask, &o, &plain.image, nullptr, 0), VIDRA_STATUS_OK);
        int worstClean = 0, worstPlain = 0;
        for (int y = 60; y < 160; ++y)
            for (int x : {95, 97, 98, 99, 220, 221, 223})
                for (int ch = 0; ch < 3; ++ch) {
                    worstClean = std::max(worstClean, std::abs(clean.At(x, y)[ch] - 128));
                    worstPlain = std::max(worstPlain, std::abs(plain.At(x, y)[ch] - 128));
                }
        EXPECT_LE(worstClean, 3) << "strength " << strength;
        EXPECT_GE(worstPlain, 20) << "strength " << strength;
    }
}

// The refined edge steps at the picture's edge, own scratch or caller's; empty and full masks stay.
TEST(Refinement, PullsSoftEdgeOntoPictureEdge) {
    std::mt19937 rng(3);
    const int w = 400, h = 120, edge = 200;
    Picture frame(w, h, VIDRA_PIXEL_BGRA32, 4, false, rng, 40);
    MaskBuffer mask(w, h, 3), out(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x >= edge) std::fill(frame.At(x, y), frame.At(x, y) + 3, 210);
            // A 24-pixel ramp centred 5 pixels right of the picture's edge.
            mask.At(x, y) = static_cast<uint8_t>(std::clamp((x - (edge + 5 - 12)) * 255 / 24, 0, 255));
        }
    VidraRefineOptions o{sizeof(VidraRefineOptions), 16, 0.0f};
    ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, &o, &out.mask, nullptr, 0), VIDRA_STATUS_OK);
    int half = 0;
    while (half < w && out.At(half, h / 2) < 128) ++half;
    EXPECT_LE(std::abs(half - edge), 1);
    EXPECT_GE(out.At(edge, h / 2) - out.At(edge - 1, h / 2), 100);
    EXPECT_LE(mask.At(edge, h / 2) - mask.At(edge - 1, h / 2), 11);
    size_t need = 0;
    ASSERT_EQ(VidraRefineScratchSize(w, h, &o, &need), VIDRA_STATUS_OK);
    Bytes scratch(need + 3, 0xEE);
    MaskBuffer given(w, h, 0, 0xA5);
    EXPECT_EQ(VidraRefineMask(&frame.image, &mask.mask, &o, &given.mask, scratch.data(), need - 1),
              VIDRA_STATUS_SCRATCH_TOO_SMALL);
    EXPECT_EQ(given.bytes, Bytes(given.bytes.size(), 0xA5));
    ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, &o, &given.mask, scratch.data() + 3, need), VIDRA_STATUS_OK);
    EXPECT_EQ(given.bytes, out.bytes);

    for (uint8_t level : {0, 255}) {
        std::fill(mask.bytes.begin(), mask.bytes.end(), level);
        ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &mask.mask, nullptr, 0), VIDRA_STATUS_OK);
        EXPECT_EQ(mask.bytes, Bytes(mask.bytes.size(), level));
    }
}

// Each bad argument gives its status and leaves frame and output as they were.
TEST(Compositing, BadArgumentsGiveTheirStatusAndWriteNothing) {
    std::mt19937 rng(1);
    const int w = 40, h = 20;
    struct Call { VidraImage f; VidraMask m; VidraCompositeOptions o; VidraImage out; };
    const struct { const char* what; int32_t status; void (*spoil)(Call&); } cases[] = {
        {"null plane", VIDRA_STATUS_NULL_ARGUMENT, [](Call& c) { c.f.planes[0] = nullptr; }},
        {"null mask data", VIDRA_STATUS_NULL_ARGUMENT, [](Call& c) { c.m.data = nullptr; }},
        {"null image", VIDRA_STATUS_NULL_ARGUMENT, [](Call& c) { c.o.background = VIDRA_BACKGROUND_IMAGE; c.o.image = nullptr; }},
        {"struct size", VIDRA_STATUS_BAD_STRUCT_SIZE, [](Call& c) { c.o.structSize -= 4; }},
        {"zero width", VIDRA_STATUS_BAD_DIMENSIONS, [](Call& c) { c.f.width = 0; }},
        {"mask height", VIDRA_STATUS_BAD_DIMENSIONS, [](Call& c) { c.m.height -= 1; }},
        {"output width", VIDRA_STATUS_BAD_DIMENSIONS, [](Call& c) { c.out.width -= 1; }},
        {"NV12 frame without chroma", VIDRA_STATUS_NULL_ARGUMENT, [](Call& c) { c.f.format = VIDRA_PIXEL_NV12; }},
        {"unknown format", VIDRA_STATUS_UNSUPPORTED_FORMAT, [](Call& c) { c.f.format = 0; }},
        {"3-byte transparent", VIDRA_STATUS_UNSUPPORTED_FORMAT, [](Call& c) { c.o.background = VIDRA_BACKGROUND_TRANSPARENT; }},
        {"frame stride", VIDRA_STATUS_BAD_STRIDE, [](Call& c) { c.f.strides[0] = -(c.f.width * 3 - 1); }},
        {"mask stride", VIDRA_STATUS_BAD_STRIDE, [](Call& c) { c.m.stride = c.m.width - 1; }},
        {"strength 0", VIDRA_STATUS_BAD_OPTION, [](Call& c) { c.o.blurStrength = 0; }},
        {"strength 501", VIDRA_STATUS_BAD_OPTION, [](Call& c) { c.o.blurStrength = 501; }},
        {"unknown kind", VIDRA_STATUS_BAD_OPTION, [](Call& c) { c.o.background = 5; }},
        {"output over frame, offset", VIDRA_STATUS_OVERLAP, [](Call& c) { c.out = c.f; c.out.planes[0] += 3; }},
        {"output over image", VIDRA_STATUS_OVERLAP, [](Call& c) { c.o.background = VIDRA_BACKGROUND_IMAGE; c.o.image = &c.out; }},
    };
    Picture frame(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 0), out(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 0xA5);
    const Bytes frameBefore = frame.bytes, outBefore = out.bytes;
    MaskBuffer mask(w, h, 0);
    for (const auto& k : cases) {
        Call call{frame.image, mask.mask, Options(VIDRA_BACKGROUND_BLUR), out.image};
        k.spoil(call);
        EXPECT_EQ(VidraComposite(&call.f, &call.m, &call.o, &call.out, nullptr, 0), k.status) << k.what;
        EXPECT_EQ(out.bytes, outBefore) << k.what;
        EXPECT_EQ(frame.bytes, frameBefore) << k.what;
    }
    const VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR);
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

// Buffers sharing no byte are accepted however they interleave, and give the
// bytes of separate buffers; a shared byte is refused, in place is allowed.
TEST(Compositing, OverlapJudgedByTheBytesTouched) {
    std::mt19937 rng(11);
    const int w = 30, h = 12, row = w * 3;
    // Frame at the buffer's start with frameStride; output at outOffset with outStride.
    const struct { const char* what; int frameStride, outOffset, outStride; int32_t status; } cases[] = {
        {"left and right halves", 2 * row + 6, row + 6, 2 * row + 6, VIDRA_STATUS_OK},
        {"even and odd rows", 2 * row, row, 2 * row, VIDRA_STATUS_OK},
        {"bottom-up output in the odd rows", 2 * row, row + (h - 1) * 2 * row, -2 * row, VIDRA_STATUS_OK},
        {"in place", 2 * row, 0, 2 * row, VIDRA_STATUS_OK},
        {"output a byte into the frame's rows", 2 * row + 6, row - 1, 2 * row + 6, VIDRA_STATUS_OVERLAP},
        {"odd rows reaching the next even row", 2 * row, row + 1, 2 * row, VIDRA_STATUS_OVERLAP},
        {"same start, other stride", 2 * row, 0, row, VIDRA_STATUS_OVERLAP},
    };
    MaskBuffer mask(w, h, 0);
    PersonMask(mask, rng, true);
    for (const auto& c : cases) {
        Bytes buffer(static_cast<size_t>(2 * row + 6) * h + 8);
        for (auto& b : buffer) b = static_cast<uint8_t>(rng());
        const Bytes before = buffer;
        const VidraImage frame{w, h, VIDRA_PIXEL_RGB24, 0, {buffer.data(), nullptr, nullptr}, {c.frameStride, 0, 0}};
        VidraImage out{w, h, VIDRA_PIXEL_RGB24, 0, {buffer.data() + c.outOffset, nullptr, nullptr}, {c.outStride, 0, 0}};
        const VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR, 5);
        // The reference: the frame's bytes in a buffer of their own.
        Picture separate(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1), target(w, h, VIDRA_PIXEL_RGB24, 0, false, rng, 1);
        for (int y = 0; y < h; ++y)
            std::copy(frame.planes[0] + y * frame.strides[0], frame.planes[0] + y * frame.strides[0] + row, separate.At(0, y));
        ASSERT_EQ(VidraComposite(&separate.image, &mask.mask, &o, &target.image, nullptr, 0), VIDRA_STATUS_OK);
        ASSERT_EQ(VidraComposite(&frame, &mask.mask, &o, &out, nullptr, 0), c.status) << c.what;
        if (c.status != VIDRA_STATUS_OK) {
            EXPECT_EQ(buffer, before) << c.what;
            continue;
        }
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(target.At(0, y), target.At(0, y) + row, out.planes[0] + y * out.strides[0])) << c.what;
    }

    // A mask and its refined copy side by side, and one byte over.
    MaskBuffer pair(2 * w, h, 0), alone(w, h, 0);
    Picture frame(w, h, VIDRA_PIXEL_BGRA32, 0, false, rng, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pair.At(x, y) = mask.At(x, y);
    VidraMask left{w, h, 2 * w, 0, pair.bytes.data()}, right = left;
    right.data += w;
    ASSERT_EQ(VidraRefineMask(&frame.image, &mask.mask, nullptr, &alone.mask, nullptr, 0), VIDRA_STATUS_OK);
    ASSERT_EQ(VidraRefineMask(&frame.image, &left, nullptr, &right, nullptr, 0), VIDRA_STATUS_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(pair.At(w + x, y), alone.At(x, y)) << x << "," << y;
    right.data -= 1;
    EXPECT_EQ(VidraRefineMask(&frame.image, &left, nullptr, &right, nullptr, 0), VIDRA_STATUS_OVERLAP);
    // The frame's rows interleaved with the output mask's: accepted.
    Bytes shared(static_cast<size_t>(w * 4 + w) * h);
    VidraImage rows{w, h, VIDRA_PIXEL_BGRA32, 0, {shared.data(), nullptr, nullptr}, {w * 5, 0, 0}};
    VidraMask between{w, h, w * 5, 0, shared.data() + w * 4};
    for (int y = 0; y < h; ++y) std::copy(frame.At(0, y), frame.At(0, y) + w * 4, shared.data() + y * w * 5);
    ASSERT_EQ(VidraRefineMask(&rows, &mask.mask, nullptr, &between, nullptr, 0), VIDRA_STATUS_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(between.data[y * w * 5 + x], alone.At(x, y));
    between.data -= 1;
    EXPECT_EQ(VidraRefineMask(&rows, &mask.mask, nullptr, &between, nullptr, 0), VIDRA_STATUS_OVERLAP);
}
