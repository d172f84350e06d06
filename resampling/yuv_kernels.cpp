// The scalar YUV conversion (the definition of its result) and the table.
#include "resampling/yuv_kernels.h"

#include <cstddef>

#include "common/dispatch.h"
#include "instances/yuv_bt601.h"

namespace vidra {
namespace resampling {

void GatherRowScalar(const YuvRow& row, const int32_t* cols, int32_t n, uint8_t* rgb) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t c = cols[i];
        const std::ptrdiff_t chroma = static_cast<std::ptrdiff_t>(c / 2) * row.chromaStep;
        instances::YuvToRgbBt601(row.luma[c], row.u[chroma], row.v[chroma], rgb + 3 * i);
    }
}

void ConvertColumnsScalar(const YuvRow& row, int32_t xBegin, int32_t xEnd, uint8_t* rgb) {
    for (int32_t x = xBegin; x < xEnd; ++x) {
        const std::ptrdiff_t chroma = static_cast<std::ptrdiff_t>(x / 2) * row.chromaStep;
        instances::YuvToRgbBt601(row.luma[x], row.u[chroma], row.v[chroma], rgb + 3 * static_cast<std::ptrdiff_t>(x));
    }
}

void ConvertRowScalar(const YuvRow& row, int32_t width, uint8_t* rgb) {
    ConvertColumnsScalar(row, 0, width, rgb);
}

void FillYuvKernels(YuvKernels& k, CpuTier tier) {
    k.gatherRow = GatherRowScalar;
    k.convertRow = ConvertRowScalar;
    if (tier >= CpuTier::kSse2) FillYuvKernelsSse2(k);
    if (tier >= CpuTier::kAvx2) FillYuvKernelsAvx2(k);
    // The AVX-512 tier keeps the AVX2 kernels: its dword gathers were slower
    // than the AVX2 gather of plain loads.
}

const YuvKernels& ActiveYuvKernels() {
    return ActiveKernels<YuvKernels, FillYuvKernels>();
}

}  // namespace resampling
}  // namespace vidra
