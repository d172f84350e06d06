// The mask-filter and compositing row tables: every entry of every tier this
// processor has against the scalar entry, bit for bit, on random sizes and
// contents (special floats included).
#include <limits>

#include "compositing/resample_axis.h"
#include "compositing/row_kernels.h"
#include "dispatch_support.h"
#include "postprocess/mask_kernels.h"

namespace {

using namespace dispatch_test;
namespace c = vidra::compositing;
namespace p = vidra::postprocess;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

float FromBits(uint32_t u) { float f; std::memcpy(&f, &u, sizeof f); return f; }

// Logits, wide values, any bit pattern, or specials; ties for the blur.
Floats FilterInput(std::mt19937& rng, size_t n, int mode) {
    static const float kSpecials[] = {0.0f, -0.0f, kInf, -kInf, kNaN, FromBits(0x7F800001u), FromBits(1),
                                      88.72283f, -88.72283f, 103.5f, -103.5f, 1e-30f, 3.4e38f, 1.0f, 0.25f};
    Floats v = RandomFloats(rng, n, mode == 0 ? -20.0f : -200.0f, mode == 0 ? 20.0f : 200.0f);
    for (auto& f : v) {
        if (mode == 2) f = FromBits(static_cast<uint32_t>(rng()));
        if (mode == 3) f = Uniform(rng, 0, 4) == 0 ? kSpecials[Uniform(rng, 0, 14)] : Uniform(rng, 0, 3) * 0.25f;
    }
    return v;
}

const c::RowLayout kLayouts[] = {{3, 0, 1, 2}, {3, 2, 1, 0}, {4, 0, 1, 2}, {4, 2, 1, 0}};
// Rows are followed by this much scratch, which some kernels may write.
constexpr int kSlack = 64;

}  // namespace

TEST(Dispatch, MaskFilterTables) {
    const auto scalar = TableFor<p::MaskKernels, p::FillMaskKernels>(vidra::CpuTier::kScalar);
    for (vidra::CpuTier tier : VectorTiers()) {
        SCOPED_TRACE(vidra::CpuTierName(tier));
        const auto k = TableFor<p::MaskKernels, p::FillMaskKernels>(tier);
        EXPECT_EQ(DifferingEntries(k, scalar), 2);
        std::mt19937 rng(300 + static_cast<int>(tier));
        for (int iter = 0; iter < 3000; ++iter) {
            const int mode = iter % 4;
            Floats want = FilterInput(rng, Uniform(rng, 0, iter % 100 == 0 ? 46080 : 90), mode), got(want);
            scalar.logistic(want.data(), want.size());
            k.logistic(got.data(), got.size());
            ASSERT_TRUE(SameBits(got, want)) << "logistic of " << want.size() << ", mode " << mode;

            const int w = Uniform(rng, 3, iter % 100 == 1 ? 288 : 50), h = Uniform(rng, 3, iter % 100 == 1 ? 160 : 9);
            const Floats src = FilterInput(rng, static_cast<size_t>(w) * h, mode == 2 ? 3 : mode);
            Floats bwant(src.size(), -1.0f), bgot(bwant);
            scalar.blurInterior(src.data(), bwant.data(), w, h);
            k.blurInterior(src.data(), bgot.data(), w, h);
            ASSERT_TRUE(SameBits(bgot, bwant)) << "blur " << w << "x" << h << ", mode " << mode;
        }
    }
}

TEST(Dispatch, CompositingRowTables) {
    const auto scalar = TableFor<c::RowKernels, c::FillRowKernels>(vidra::CpuTier::kScalar);
    for (vidra::CpuTier tier : VectorTiers()) {
        SCOPED_TRACE(vidra::CpuTierName(tier));
        const auto k = TableFor<c::RowKernels, c::FillRowKernels>(tier);
        if (tier >= vidra::CpuTier::kAvx2) {
            EXPECT_EQ(DifferingEntries(k, scalar), 8);
        }
        std::mt19937 rng(400 + static_cast<int>(tier));
        for (int iter = 0; iter < 1500; ++iter) {
            const int width = Uniform(rng, 1, iter % 10 == 0 ? 700 : 70);
            const c::RowLayout from = kLayouts[Uniform(rng, 0, 3)], to = kLayouts[Uniform(rng, 0, 3)];
            const Bytes f = RandomBytes(rng, width * 4 + kSlack), b0 = RandomBytes(rng, width * 4 + kSlack),
                        b1 = RandomBytes(rng, width * 4 + kSlack), m = RandomBytes(rng, width + kSlack);
            const auto compare = [&](const char* entry, auto run, size_t bytes, size_t meaningful) {
                Bytes want(bytes + kSlack, kCanary), got(want);
                run(scalar, want.data());
                run(k, got.data());
                want.resize(meaningful), got.resize(meaningful);
                ASSERT_EQ(got, want) << entry << ", width " << width;
            };
            const int32_t wb = Uniform(rng, 0, 256);
            compare("blend", [&](const c::RowKernels& t, uint8_t* out) {
                t.blend(f.data(), b0.data(), b1.data(), wb, m.data(), out, width, from.bpp);
            }, width * from.bpp, width * from.bpp);
            const bool alpha = Uniform(rng, 0, 1) == 1;
            compare("pack", [&](const c::RowKernels& t, uint8_t* out) {
                t.pack(f.data(), from, alpha ? m.data() : nullptr, out, to, width);
            }, width * to.bpp, width * to.bpp);

            // Column sums: uint32 accumulators that already hold sums.
            const int group = 2 << Uniform(rng, 0, 1), lumaGroup = 1 << Uniform(rng, 0, 1);
            std::vector<uint32_t> acc(4 * (width / 2 + 1) + 16);
            for (auto& a : acc) a = static_cast<uint32_t>(Uniform(rng, 0, 1 << 20));
            auto accWant = acc, accGot = acc;
            scalar.accumulateWeighted(f.data(), from.bpp, m.data(), accWant.data(), width, group);
            k.accumulateWeighted(f.data(), from.bpp, m.data(), accGot.data(), width, group);
            ASSERT_EQ(accGot, accWant) << "accumulateWeighted, width " << width << " group " << group;
            accWant = acc, accGot = acc;
            Bytes lumaWant(width + kSlack, kCanary), lumaGot(lumaWant);
            scalar.accumulateLumaMask(f.data(), from, m.data(), accWant.data(), width, lumaGroup, lumaWant.data());
            k.accumulateLumaMask(f.data(), from, m.data(), accGot.data(), width, lumaGroup, lumaGot.data());
            ASSERT_EQ(accGot, accWant) << "accumulateLumaMask, width " << width << " group " << lumaGroup;
            lumaWant.resize(width), lumaGot.resize(width);
            ASSERT_EQ(lumaGot, lumaWant) << "accumulateLumaMask luma, width " << width;

            // Upsampling between block centres, as the reduced-resolution passes do.
            const int factor = Uniform(rng, 1, 9), cells = c::CellCount(width, factor);
            std::vector<int32_t> lo(width + 8), hi(width + 8), wq(width + 8);
            Floats wf(width + 8);
            c::BuildAxis(width, factor, cells, lo.data(), hi.data(), wq.data(), wf.data());
            const c::AxisSamples axis{lo.data(), hi.data(), wq.data(), wf.data()};
            const Bytes cellBytes = RandomBytes(rng, cells * 4 + kSlack);
            const int bpp = from.bpp;
            compare("upsampleRow", [&](const c::RowKernels& t, uint8_t* out) {
                t.upsampleRow(cellBytes.data(), axis, out, width, bpp);
            }, width * bpp, width * bpp);
            const Floats cellFloats = RandomFloats(rng, cells + kSlack, -300.0f, 300.0f);
            Floats fWant(width + kSlack, -1.0f), fGot(fWant);
            scalar.upsampleFloatRow(cellFloats.data(), axis, fWant.data(), width);
            k.upsampleFloatRow(cellFloats.data(), axis, fGot.data(), width);
            fWant.resize(width), fGot.resize(width);
            ASSERT_TRUE(SameBits(fGot, fWant)) << "upsampleFloatRow, width " << width;

            // The refined mask from coefficients, values out of range and NaN included.
            Floats co[4];
            for (auto& v : co) {
                v = RandomFloats(rng, width + kSlack, -3.0f, 3.0f);
                if (iter % 7 == 0) v[Uniform(rng, 0, width - 1)] = kNaN;
            }
            const float w = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
            compare("refineRow", [&](const c::RowKernels& t, uint8_t* out) {
                t.refineRow(f.data(), co[0].data(), co[1].data(), co[2].data(), co[3].data(), w, out, width);
            }, width, width);

            const int count = Uniform(rng, 1, c::kMaxSumRows);
            std::vector<Floats> rows(count);
            std::vector<const float*> pointers(count);
            for (int j = 0; j < count; ++j) {
                rows[j] = RandomFloats(rng, width, -1e4f, 1e4f);
                pointers[j] = rows[j].data();
            }
            Floats sWant(width + kSlack, -1.0f), sGot(sWant);
            scalar.sumRows(pointers.data(), count, sWant.data(), width);
            k.sumRows(pointers.data(), count, sGot.data(), width);
            sWant.resize(width), sGot.resize(width);
            ASSERT_TRUE(SameBits(sGot, sWant)) << "sumRows of " << count << ", width " << width;
        }
    }
}
