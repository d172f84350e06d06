// Compositing on NV12 and I420: the YUV kernels of every tier against the
// scalar ones, whole calls against a straightforward per-pixel computation,
// the blur's properties, and the format and overlap rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "common/dispatch.h"
#include "compositing/composite.h"
#include "compositing/row_kernels.h"
#include "compositing/yuv_kernels.h"
#include "instances/yuv_bt601.h"
#include "vidra.h"

namespace {

namespace c = vidra::compositing;
using Bytes = std::vector<uint8_t>;

int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// Random bytes: noise, 0/255 only, or long flat runs (as in a mask).
Bytes Random(std::mt19937& rng, size_t n) {
    Bytes v(n);
    const int mode = Uniform(rng, 0, 2);
    for (size_t i = 0; i < n;) {
        const uint8_t level = static_cast<uint8_t>(Uniform(rng, 0, 1) * 255);
        for (size_t end = std::min(n, i + (mode == 2 ? Uniform(rng, 1, 200) : 1)); i < end; ++i)
            v[i] = mode == 0 ? static_cast<uint8_t>(rng()) : mode == 1 ? static_cast<uint8_t>(Uniform(rng, 0, 1) * 255) : level;
    }
    return v;
}

// One buffer per plane, each with padding and its own stride sign.
struct Planes {
    Planes(int w, int h, int32_t format, std::mt19937& rng, int maxPad = 9) {
        const int cw = (w + 1) / 2, ch = (h + 1) / 2;
        const int count = format == VIDRA_PIXEL_NV12 ? 2 : format == VIDRA_PIXEL_I420 ? 3 : 1;
        const int bpp = format == VIDRA_PIXEL_RGB24 || format == VIDRA_PIXEL_BGR24 ? 3 : 4;
        image = {w, h, format, 0, {nullptr, nullptr, nullptr}, {0, 0, 0}};
        for (int p = 0; p < count; ++p) {
            const int rowBytes = count == 1 ? w * bpp : p == 0 ? w : format == VIDRA_PIXEL_NV12 ? 2 * cw : cw;
            const int rows = p == 0 ? h : ch;
            const int stride = rowBytes + Uniform(rng, 0, maxPad);
            const bool up = Uniform(rng, 0, 3) == 0;
            bytes[p] = Random(rng, static_cast<size_t>(stride) * rows);
            image.planes[p] = bytes[p].data() + (up ? static_cast<size_t>(stride) * (rows - 1) : 0);
            image.strides[p] = up ? -stride : stride;
        }
    }
    Planes& operator=(const Planes&) = delete;
    Planes(const Planes& o) : image(o.image) {
        for (int p = 0; p < 3; ++p) {
            bytes[p] = o.bytes[p];
            if (o.image.planes[p] != nullptr) image.planes[p] = bytes[p].data() + (o.image.planes[p] - o.bytes[p].data());
        }
    }
    uint8_t* Row(int p, int y) const { return image.planes[p] + static_cast<ptrdiff_t>(y) * image.strides[p]; }
    // Luma, U and V of pixel (x, y), and a packed pixel's R, G, B.
    uint8_t Y(int x, int y) const { return Row(0, y)[x]; }
    uint8_t U(int x, int y) const {
        return image.format == VIDRA_PIXEL_NV12 ? Row(1, y / 2)[x / 2 * 2] : Row(1, y / 2)[x / 2];
    }
    uint8_t V(int x, int y) const {
        return image.format == VIDRA_PIXEL_NV12 ? Row(1, y / 2)[x / 2 * 2 + 1] : Row(2, y / 2)[x / 2];
    }
    int Channel(int x, int y, int ch) const {  // ch 0 red, 1 green, 2 blue
        const bool bgr = image.format == VIDRA_PIXEL_BGR24 || image.format == VIDRA_PIXEL_BGRA32;
        const int bpp = image.format == VIDRA_PIXEL_RGB24 || image.format == VIDRA_PIXEL_BGR24 ? 3 : 4;
        return Row(0, y)[x * bpp + (bgr ? 2 - ch : ch)];
    }
    Bytes bytes[3];
    VidraImage image;
};

struct Mask {
    Mask(int w, int h, std::mt19937& rng) : bytes(Random(rng, static_cast<size_t>(w + 3) * h)) {
        mask = {w, h, w + 3, 0, bytes.data()};
    }
    uint8_t At(int x, int y) const { return mask.data[y * mask.stride + x]; }
    Bytes bytes;
    VidraMask mask;
};

VidraCompositeOptions Options(int32_t kind, int32_t strength = 8) {
    return {sizeof(VidraCompositeOptions), kind, strength, {10, 200, 77, 0}, nullptr};
}

c::YuvKernels Tier(vidra::CpuTier tier) { return vidra::KernelsForTier<c::YuvKernels, c::FillYuvKernels>(tier); }

// The tiers this processor has whose table holds kernels of their own.
std::vector<vidra::CpuTier> VectorTiers() {
    std::vector<vidra::CpuTier> tiers;
    const c::YuvKernels scalar = Tier(vidra::CpuTier::kScalar);
    for (int t = 1; t <= static_cast<int>(vidra::DetectedCpuTier()); ++t) {
        const c::YuvKernels k = Tier(static_cast<vidra::CpuTier>(t));
        if (std::memcmp(&k, &scalar, sizeof k) != 0) tiers.push_back(static_cast<vidra::CpuTier>(t));
    }
    return tiers;
}

// The straightforward definitions.
int Blend(int f, int b, int m) { return (f * m + b * (255 - m) + 127) / 255; }
int LumaOf(int r, int g, int b) { return ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16; }
int UOf(int r, int g, int b) { return ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128; }
int VOf(int r, int g, int b) { return ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128; }
int ChromaMaskOf(const Mask& m, int j, int i) {
    const int w = m.mask.width, h = m.mask.height;
    int sum = 0;
    for (int y : {2 * i, std::min(2 * i + 1, h - 1)})
        for (int x : {2 * j, std::min(2 * j + 1, w - 1)}) sum += m.At(x, y);
    return (sum + 2) >> 2;
}

}  // namespace

// Every kernel of every tier the processor has against the scalar one, on
// random widths, contents and row offsets; bytes past the end stay.
TEST(YuvKernels, EveryTierMatchesScalar) {
    const std::vector<vidra::CpuTier> tiers = VectorTiers();
    if (tiers.empty()) GTEST_SKIP() << "no vector tier";
    std::mt19937 rng(99);
    const c::YuvKernels scalar = Tier(vidra::CpuTier::kScalar);
    for (vidra::CpuTier tier : tiers) {
        const c::YuvKernels k = Tier(tier);
        for (int iter = 0; iter < 1500; ++iter) {
            const int w = Uniform(rng, 1, iter % 10 == 0 ? 700 : 80), cw = (w + 1) / 2;
            const Bytes y0 = Random(rng, w), y1 = Random(rng, w), m0 = Random(rng, w), m1 = Random(rng, w);
            const Bytes uv = Random(rng, 2 * cw), u = Random(rng, cw), v = Random(rng, cw);
            const bool second = Uniform(rng, 0, 3) != 0, nv12 = Uniform(rng, 0, 1) == 1;
            const int reps = Uniform(rng, 1, 3);
            std::vector<uint32_t> sums[2];
            for (int s = 0; s < 2; ++s) {
                const c::YuvKernels& t = s == 0 ? scalar : k;
                sums[s].assign(4 * static_cast<size_t>(cw) + 8, 7u);
                uint32_t* p = sums[s].data();
                const c::YuvSums into{p, p + cw, p + 2 * cw, p + 3 * cw};
                for (int r = 0; r < reps; ++r)
                    t.accumulate(y0.data(), second ? y1.data() : nullptr, m0.data(), second ? m1.data() : nullptr,
                                 nv12 ? uv.data() : u.data(), nv12 ? uv.data() + 1 : v.data(), nv12 ? 2 : 1, into, w);
            }
            ASSERT_EQ(sums[0], sums[1]) << "accumulate, width " << w;

            Bytes masks[2] = {Bytes(cw + 40, 0xA5), Bytes(cw + 40, 0xA5)};
            scalar.chromaMask(m0.data(), second ? m1.data() : nullptr, masks[0].data(), w);
            k.chromaMask(m0.data(), second ? m1.data() : nullptr, masks[1].data(), w);
            ASSERT_EQ(masks[0], masks[1]) << "chromaMask, width " << w;

            const int cells = Uniform(rng, 1, 40);
            const Bytes cellBytes = Random(rng, 4 * static_cast<size_t>(cells));
            std::vector<int32_t> lo(w), hi(w), wq(w);
            std::vector<float> wf(w);
            for (int x = 0; x < w; ++x) {
                lo[x] = Uniform(rng, 0, cells - 1);
                hi[x] = std::min(cells - 1, lo[x] + 1);
                wq[x] = Uniform(rng, 0, 255);
            }
            const c::AxisSamples axis{lo.data(), hi.data(), wq.data(), wf.data()};
            const int first = Uniform(rng, 0, 2), count = first == 1 && Uniform(rng, 0, 1) ? 2 : 1;
            Bytes up[2] = {Bytes(2 * w + 40, 0xA5), Bytes(2 * w + 40, 0xA5)};
            scalar.upsample(cellBytes.data(), axis, up[0].data(), w, first, count);
            k.upsample(cellBytes.data(), axis, up[1].data(), w, first, count);
            ASSERT_EQ(up[0], up[1]) << "upsample, width " << w << " first " << first << " count " << count;

            const int pairs = Uniform(rng, 0, 1), n = pairs ? 2 * cw : w, wb = Uniform(rng, 0, 3) == 0 ? 0 : Uniform(rng, 0, 256);
            const Bytes f = Random(rng, n), b0 = Random(rng, n), b1 = Random(rng, n);
            const Bytes& mask = pairs ? m0 : Random(rng, n);
            Bytes out[2] = {Bytes(n + 40, 0xA5), Bytes(n + 40, 0xA5)};
            scalar.blend(f.data(), b0.data(), b1.data(), wb, mask.data(), pairs, out[0].data(), n);
            k.blend(f.data(), b0.data(), b1.data(), wb, mask.data(), pairs, out[1].data(), n);
            ASSERT_EQ(out[0], out[1]) << "blend, n " << n << " wb " << wb;
            Bytes inPlace = f;
            k.blend(inPlace.data(), b0.data(), b1.data(), wb, mask.data(), pairs, inPlace.data(), n);
            ASSERT_TRUE(std::equal(inPlace.begin(), inPlace.end(), out[0].begin())) << "blend in place";
        }
    }
}

// Whole calls with the scalar table and with each vector tier's: the same
// bytes, every kind, both formats, in place or not, random strides.
TEST(YuvCompositing, VectorTiersMatchScalarOnWholeCalls) {
    const std::vector<vidra::CpuTier> tiers = VectorTiers();
    if (tiers.empty()) GTEST_SKIP() << "no vector tier";
    std::mt19937 rng(4);
    const c::YuvKernels scalar = Tier(vidra::CpuTier::kScalar);
    const int32_t images[] = {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420};
    for (int iter = 0; iter < 200; ++iter) {
        const int w = Uniform(rng, 1, iter % 8 == 0 ? 400 : 70), h = Uniform(rng, 1, 50);
        const int32_t format = Uniform(rng, 0, 1) ? VIDRA_PIXEL_NV12 : VIDRA_PIXEL_I420;
        const int32_t kind = Uniform(rng, 1, 3);
        const bool inPlace = Uniform(rng, 0, 2) == 0;
        const Planes frame(w, h, format, rng), back(w, h, images[Uniform(rng, 0, 3)], rng);
        const Mask mask(w, h, rng);
        VidraCompositeOptions o = Options(kind, Uniform(rng, 1, iter % 5 == 0 ? 500 : 30));
        o.image = &back.image;
        size_t need = 0;
        ASSERT_TRUE(c::CompositeScratchBytes(w, h, o, &need));
        const Planes outInit(w, h, format, rng);
        std::vector<Planes> results;
        for (vidra::CpuTier tier : {vidra::CpuTier::kScalar, tiers.back()}) {
            Planes f(frame), out(outInit);
            Planes& target = inPlace ? f : out;
            ASSERT_EQ(c::CheckCompositeArguments(&f.image, &mask.mask, &o, &target.image), VIDRA_STATUS_OK);
            Bytes scratch(need, 0x5A);
            c::CompositeChecked(f.image, mask.mask, o, target.image, scratch.data(), need, c::ActiveRowKernels(),
                                tier == vidra::CpuTier::kScalar ? scalar : Tier(tier));
            results.push_back(target);
        }
        for (int p = 0; p < 3; ++p)
            ASSERT_EQ(results[0].bytes[p], results[1].bytes[p]) << "iteration " << iter << " plane " << p;
    }
}

// COLOR, IMAGE (packed and YUV images) and TRANSPARENT against the
// per-pixel definitions: each plane blended with the mask at its resolution.
TEST(YuvCompositing, MatchesPerPixelDefinition) {
    std::mt19937 rng(21);
    const int32_t images[] = {VIDRA_PIXEL_RGB24, VIDRA_PIXEL_BGRA32, VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420};
    for (int iter = 0; iter < 60; ++iter) {
        const int w = Uniform(rng, 1, 45), h = Uniform(rng, 1, 21);
        const int32_t format = iter % 2 ? VIDRA_PIXEL_NV12 : VIDRA_PIXEL_I420;
        const int32_t kind = iter % 3 == 0 ? VIDRA_BACKGROUND_COLOR : iter % 3 == 1 ? VIDRA_BACKGROUND_IMAGE
                                                                                  : VIDRA_BACKGROUND_TRANSPARENT;
        const Planes frame(w, h, format, rng), back(w, h, images[iter / 3 % 4], rng);
        const int32_t outFormat = kind == VIDRA_BACKGROUND_TRANSPARENT ? (iter % 4 < 2 ? VIDRA_PIXEL_RGBA32 : VIDRA_PIXEL_BGRA32)
                                                                       : format;
        Planes out(w, h, outFormat, rng);
        const Mask mask(w, h, rng);
        VidraCompositeOptions o = Options(kind);
        o.image = &back.image;
        ASSERT_EQ(VidraComposite(&frame.image, &mask.mask, &o, &out.image, nullptr, 0), VIDRA_STATUS_OK) << iter;
        const int r = o.color[0], g = o.color[1], b = o.color[2];
        const bool packedBack = back.image.format != VIDRA_PIXEL_NV12 && back.image.format != VIDRA_PIXEL_I420;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int m = mask.At(x, y);
                if (kind == VIDRA_BACKGROUND_TRANSPARENT) {
                    uint8_t rgb[3];
                    instances::YuvToRgbBt601(frame.Y(x, y), frame.U(x, y), frame.V(x, y), rgb);
                    for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(out.Channel(x, y, ch), rgb[ch]) << iter;
                    ASSERT_EQ(out.Row(0, y)[4 * x + 3], m);
                    continue;
                }
                int backY = LumaOf(r, g, b);
                if (kind == VIDRA_BACKGROUND_IMAGE)
                    backY = packedBack ? LumaOf(back.Channel(x, y, 0), back.Channel(x, y, 1), back.Channel(x, y, 2))
                                       : back.Y(x, y);
                ASSERT_EQ(out.Y(x, y), Blend(frame.Y(x, y), backY, m)) << iter << " luma " << x << "," << y;
                if (x % 2 || y % 2) continue;
                const int i = y / 2, j = x / 2, mc = ChromaMaskOf(mask, j, i);
                int backU = UOf(r, g, b), backV = VOf(r, g, b);
                if (kind == VIDRA_BACKGROUND_IMAGE && !packedBack) backU = back.U(x, y), backV = back.V(x, y);
                if (kind == VIDRA_BACKGROUND_IMAGE && packedBack) {
                    int sum[3] = {0, 0, 0};
                    for (int yy : {y, std::min(y + 1, h - 1)})
                        for (int xx : {x, std::min(x + 1, w - 1)})
                            for (int ch = 0; ch < 3; ++ch) sum[ch] += back.Channel(xx, yy, ch);
                    for (int& s : sum) s = (s + 2) >> 2;
                    backU = UOf(sum[0], sum[1], sum[2]), backV = VOf(sum[0], sum[1], sum[2]);
                }
                ASSERT_EQ(out.U(x, y), Blend(frame.U(x, y), backU, mc)) << iter << " U " << j << "," << i;
                ASSERT_EQ(out.V(x, y), Blend(frame.V(x, y), backV, mc)) << iter << " V " << j << "," << i;
            }
    }
}

// The blur: a full mask keeps the frame, a uniform frame stays uniform, a
// person's colour does not bleed into the background beside it, and the
// same frame as NV12 and as I420 gives the same planes.
TEST(YuvCompositing, BlurProperties) {
    std::mt19937 rng(5);
    const int w = 161, h = 91;
    for (int strength : {2, 9, 40, 500}) {
        const VidraCompositeOptions o = Options(VIDRA_BACKGROUND_BLUR, strength);
        Planes nv12(w, h, VIDRA_PIXEL_NV12, rng), i420(w, h, VIDRA_PIXEL_I420, rng);
        Mask mask(w, h, rng);
        // One frame in both layouts: grey background (Y 120, U 100, V 150), a
        // saturated person (Y 60, U 240, V 20) where the mask is 255.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) mask.mask.data[y * mask.mask.stride + x] = x > 60 && x < 100 && y > 20 ? 255 : 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) nv12.Row(0, y)[x] = i420.Row(0, y)[x] = mask.At(x, y) ? 60 : 120;
            if (y % 2) continue;
            for (int j = 0; j < (w + 1) / 2; ++j) {
                const bool person = mask.At(2 * j, y) != 0;
                nv12.Row(1, y / 2)[2 * j] = i420.Row(1, y / 2)[j] = person ? 240 : 100;
                nv12.Row(1, y / 2)[2 * j + 1] = i420.Row(2, y / 2)[j] = person ? 20 : 150;
            }
        }
        Planes outNv12(nv12), outI420(i420);
        ASSERT_EQ(VidraComposite(&nv12.image, &mask.mask, &o, &outNv12.image, nullptr, 0), VIDRA_STATUS_OK);
        ASSERT_EQ(VidraComposite(&i420.image, &mask.mask, &o, &outI420.image, nullptr, 0), VIDRA_STATUS_OK);
        int worst[3] = {0, 0, 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(outNv12.Y(x, y), outI420.Y(x, y)) << strength;
                ASSERT_EQ(outNv12.U(x, y), outI420.U(x, y)) << strength;
                ASSERT_EQ(outNv12.V(x, y), outI420.V(x, y)) << strength;
                if (mask.At(x, y) == 255) {
                    ASSERT_EQ(outNv12.Y(x, y), 60);
                    continue;
                }
                // Chroma blocks wholly in the background.
                const bool chromaBack = ChromaMaskOf(mask, x / 2, y / 2) == 0;
                worst[0] = std::max(worst[0], std::abs(outNv12.Y(x, y) - 120));
                if (chromaBack) worst[1] = std::max(worst[1], std::abs(outNv12.U(x, y) - 100));
                if (chromaBack) worst[2] = std::max(worst[2], std::abs(outNv12.V(x, y) - 150));
            }
        EXPECT_LE(worst[0], 2) << "strength " << strength;
        EXPECT_LE(worst[1], 2) << "strength " << strength;
        EXPECT_LE(worst[2], 2) << "strength " << strength;
        // In place gives the bytes of a separate output.
        ASSERT_EQ(VidraComposite(&nv12.image, &mask.mask, &o, &nv12.image, nullptr, 0), VIDRA_STATUS_OK);
        for (int p = 0; p < 2; ++p) EXPECT_EQ(nv12.bytes[p], outNv12.bytes[p]) << "in place, plane " << p;
    }
}

// Which format combinations are taken, and overlaps between planes.
TEST(YuvCompositing, FormatRulesAndPlaneOverlaps) {
    std::mt19937 rng(8);
    const int w = 24, h = 10;
    const Planes nv12(w, h, VIDRA_PIXEL_NV12, rng), i420(w, h, VIDRA_PIXEL_I420, rng), rgb(w, h, VIDRA_PIXEL_RGB24, rng),
        rgba(w, h, VIDRA_PIXEL_RGBA32, rng);
    const Mask mask(w, h, rng);
    const struct {
        const char* what;
        const Planes& frame;
        const Planes& out;
        int32_t kind;
        const Planes* image;
        int32_t status;
    } cases[] = {
        {"NV12 blur", nv12, nv12, VIDRA_BACKGROUND_BLUR, nullptr, VIDRA_STATUS_OK},
        {"I420 colour", i420, i420, VIDRA_BACKGROUND_COLOR, nullptr, VIDRA_STATUS_OK},
        {"NV12 over an RGB image", nv12, nv12, VIDRA_BACKGROUND_IMAGE, &rgb, VIDRA_STATUS_OK},
        {"I420 over an NV12 image", i420, i420, VIDRA_BACKGROUND_IMAGE, &nv12, VIDRA_STATUS_OK},
        {"NV12 transparent to RGBA", nv12, rgba, VIDRA_BACKGROUND_TRANSPARENT, nullptr, VIDRA_STATUS_OK},
        {"NV12 to I420", nv12, i420, VIDRA_BACKGROUND_BLUR, nullptr, VIDRA_STATUS_UNSUPPORTED_FORMAT},
        {"NV12 to RGB", nv12, rgb, VIDRA_BACKGROUND_COLOR, nullptr, VIDRA_STATUS_UNSUPPORTED_FORMAT},
        {"NV12 transparent to NV12", nv12, nv12, VIDRA_BACKGROUND_TRANSPARENT, nullptr, VIDRA_STATUS_UNSUPPORTED_FORMAT},
        {"I420 transparent to RGB", i420, rgb, VIDRA_BACKGROUND_TRANSPARENT, nullptr, VIDRA_STATUS_UNSUPPORTED_FORMAT},
        {"RGB to NV12", rgb, nv12, VIDRA_BACKGROUND_BLUR, nullptr, VIDRA_STATUS_UNSUPPORTED_FORMAT},
        {"RGB over an NV12 image", rgb, rgba, VIDRA_BACKGROUND_IMAGE, &nv12, VIDRA_STATUS_UNSUPPORTED_FORMAT},
    };
    for (const auto& k : cases) {
        Planes out(k.out);
        VidraCompositeOptions o = Options(k.kind);
        o.image = k.image != nullptr ? &k.image->image : nullptr;
        EXPECT_EQ(VidraComposite(&k.frame.image, &mask.mask, &o, &out.image, nullptr, 0), k.status) << k.what;
        if (k.status != VIDRA_STATUS_OK) {
            for (int p = 0; p < 3; ++p) EXPECT_EQ(out.bytes[p], k.out.bytes[p]) << k.what;
        }
    }
    // Output chroma over the frame's luma, over its own luma, over the
    // image's V plane: refused. Chroma interleaved with the frame's luma rows: accepted.
    const VidraCompositeOptions blur = Options(VIDRA_BACKGROUND_BLUR);
    Planes out(nv12);
    out.image.planes[1] = nv12.image.planes[0];
    out.image.strides[1] = nv12.image.strides[0];
    EXPECT_EQ(VidraComposite(&nv12.image, &mask.mask, &blur, &out.image, nullptr, 0), VIDRA_STATUS_OVERLAP);
    Planes own(nv12);
    own.image.planes[1] = own.image.planes[0] + 3;
    own.image.strides[1] = own.image.strides[0];
    EXPECT_EQ(VidraComposite(&nv12.image, &mask.mask, &blur, &own.image, nullptr, 0), VIDRA_STATUS_OVERLAP);
    Planes target(i420);
    VidraCompositeOptions over = Options(VIDRA_BACKGROUND_IMAGE);
    over.image = &i420.image;
    target.image.planes[2] = i420.image.planes[2];
    target.image.strides[2] = i420.image.strides[2];
    EXPECT_EQ(VidraComposite(&target.image, &mask.mask, &over, &target.image, nullptr, 0), VIDRA_STATUS_OVERLAP);
    // Luma rows of 24 bytes at stride 48 with the output's chroma rows in the gaps.
    Bytes shared(48 * h + 64);
    VidraImage frame{w, h, VIDRA_PIXEL_NV12, 0, {shared.data(), nv12.image.planes[1], nullptr}, {48, nv12.image.strides[1], 0}};
    Planes gaps(nv12);
    gaps.image.planes[1] = shared.data() + 24;
    gaps.image.strides[1] = 48;
    EXPECT_EQ(VidraComposite(&frame, &mask.mask, &blur, &gaps.image, nullptr, 0), VIDRA_STATUS_OK);
}

// Refinement of an NV12/I420 frame guides by its Y plane as it is: the same
// mask as a grey RGB frame of those levels (whose luminance is the level).
TEST(YuvRefinement, GuidedByTheLumaPlane) {
    std::mt19937 rng(12);
    for (int32_t format : {VIDRA_PIXEL_NV12, VIDRA_PIXEL_I420}) {
        const int w = Uniform(rng, 40, 200), h = Uniform(rng, 20, 90);
        const Planes yuv(w, h, format, rng);
        Planes grey(w, h, VIDRA_PIXEL_RGB24, rng);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) std::fill(grey.Row(0, y) + 3 * x, grey.Row(0, y) + 3 * x + 3, yuv.Y(x, y));
        const Mask mask(w, h, rng);
        Bytes fromYuv(static_cast<size_t>(w) * h, 1), fromGrey(fromYuv.size(), 2);
        VidraMask a{w, h, w, 0, fromYuv.data()}, b{w, h, w, 0, fromGrey.data()};
        const VidraRefineOptions o{sizeof(VidraRefineOptions), Uniform(rng, 1, 30), 0.0f};
        ASSERT_EQ(VidraRefineMask(&yuv.image, &mask.mask, &o, &a, nullptr, 0), VIDRA_STATUS_OK);
        ASSERT_EQ(VidraRefineMask(&grey.image, &mask.mask, &o, &b, nullptr, 0), VIDRA_STATUS_OK);
        EXPECT_EQ(fromYuv, fromGrey) << format;
        // The output may not lie on the chroma plane either.
        VidraMask onChroma{w, h / 2, w, 0, yuv.image.planes[1]};
        VidraMask half{w, h / 2, w, 0, mask.mask.data};
        VidraImage top = yuv.image;
        top.height = h / 2;
        EXPECT_EQ(VidraRefineMask(&top, &half, &o, &onChroma, nullptr, 0), VIDRA_STATUS_OVERLAP) << format;
    }
}
