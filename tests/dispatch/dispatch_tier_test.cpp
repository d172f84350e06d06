// The tier the tables are filled for: the processor's, lowered by
// VIDRA_CPU_TIER or VIDRA_DISABLE_AVX2 (ctest runs this program once per
// tier with the variable set), and every family's active table is the one
// of that tier.
#include <cstdlib>
#include <cstring>

#include "compositing/row_kernels.h"
#include "compositing/yuv_kernels.h"
#include "dispatch_support.h"
#include "postprocess/mask_kernels.h"
#include "resampling/resize_kernels.h"
#include "resampling/yuv_kernels.h"

namespace {

using namespace dispatch_test;
namespace r = vidra::resampling;

template <typename Table, void (*Fill)(Table&, vidra::CpuTier)>
bool IsActiveTable(const Table& active) {
    const Table expected = TableFor<Table, Fill>(vidra::ActiveCpuTier());
    return std::memcmp(&active, &expected, sizeof(Table)) == 0;
}

}  // namespace

TEST(Dispatch, ActiveTierFollowsTheEnvironment) {
    vidra::CpuTier expect = vidra::DetectedCpuTier();
    const char* off = std::getenv("VIDRA_DISABLE_AVX2");
    if (off != nullptr && off[0] != '\0' && std::strcmp(off, "0") != 0 && expect > vidra::CpuTier::kSse2)
        expect = vidra::CpuTier::kSse2;
    if (const char* wanted = std::getenv("VIDRA_CPU_TIER")) {
        for (int32_t t = 0; t < vidra::kCpuTierCount; ++t) {
            const auto named = static_cast<vidra::CpuTier>(t);
            if (std::strcmp(wanted, vidra::CpuTierName(named)) == 0 && named < expect) expect = named;
        }
    }
    std::fprintf(stderr, "detected %s, active %s\n", vidra::CpuTierName(vidra::DetectedCpuTier()),
                 vidra::CpuTierName(vidra::ActiveCpuTier()));
    EXPECT_EQ(vidra::ActiveCpuTier(), expect);
    EXPECT_EQ(vidra::CpuHasAvx2(), expect >= vidra::CpuTier::kAvx2);
    EXPECT_TRUE((IsActiveTable<r::ResizeKernels, r::FillResizeKernels>(r::ActiveResizeKernels())));
    EXPECT_TRUE((IsActiveTable<r::YuvKernels, r::FillYuvKernels>(r::ActiveYuvKernels())));
    EXPECT_TRUE((IsActiveTable<vidra::postprocess::MaskKernels, vidra::postprocess::FillMaskKernels>(
        vidra::postprocess::ActiveMaskKernels())));
    EXPECT_TRUE((IsActiveTable<vidra::compositing::RowKernels, vidra::compositing::FillRowKernels>(
        vidra::compositing::ActiveRowKernels())));
    EXPECT_TRUE((IsActiveTable<vidra::compositing::YuvKernels, vidra::compositing::FillYuvKernels>(
        vidra::compositing::ActiveYuvKernels())));
}

// Every entry of every table at every tier is set.
TEST(Dispatch, NoEmptyEntry) {
    for (int32_t t = 0; t <= static_cast<int32_t>(vidra::DetectedCpuTier()); ++t) {
        const auto tier = static_cast<vidra::CpuTier>(t);
        const auto check = [&](const void* table, size_t bytes, const char* family) {
            for (size_t i = 0; i < bytes; i += sizeof(void*)) {
                void* entry;
                std::memcpy(&entry, static_cast<const char*>(table) + i, sizeof entry);
                EXPECT_NE(entry, nullptr) << family << " entry " << i / sizeof(void*) << " at " << vidra::CpuTierName(tier);
            }
        };
        const auto a = TableFor<r::ResizeKernels, r::FillResizeKernels>(tier);
        const auto b = TableFor<r::YuvKernels, r::FillYuvKernels>(tier);
        const auto c = TableFor<vidra::postprocess::MaskKernels, vidra::postprocess::FillMaskKernels>(tier);
        const auto d = TableFor<vidra::compositing::RowKernels, vidra::compositing::FillRowKernels>(tier);
        const auto e = TableFor<vidra::compositing::YuvKernels, vidra::compositing::FillYuvKernels>(tier);
        check(&a, sizeof a, "resize");
        check(&b, sizeof b, "yuv");
        check(&c, sizeof c, "mask filters");
        check(&d, sizeof d, "compositing rows");
        check(&e, sizeof e, "compositing YUV planes");
    }
}
