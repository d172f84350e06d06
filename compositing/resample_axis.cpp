#include "compositing/resample_axis.h"

namespace vidra {
namespace compositing {

AxisPoint SampleAxis(int32_t i, int32_t factor, int32_t cells) {
    // Position in cell units: (i + 0.5) / factor - 0.5 = num / (2 factor).
    const int64_t num = 2 * static_cast<int64_t>(i) + 1 - factor;
    const int64_t den = 2 * static_cast<int64_t>(factor);
    if (num <= 0) return {0, 0, 0, 0.0f};
    const int32_t lo = static_cast<int32_t>(num / den);
    if (lo >= cells - 1) return {cells - 1, cells - 1, 0, 0.0f};
    const int64_t frac = num - lo * den;
    const int32_t wq = static_cast<int32_t>((frac * 256 + factor) / den);
    return {lo, lo + 1, wq, static_cast<float>(frac) / static_cast<float>(den)};
}

void BuildAxis(int32_t n, int32_t factor, int32_t cells, int32_t* lo, int32_t* hi, int32_t* wq,
               float* wf) {
    for (int32_t i = 0; i < n; ++i) {
        const AxisPoint p = SampleAxis(i, factor, cells);
        lo[i] = p.lo;
        hi[i] = p.hi;
        wq[i] = p.wq;
        wf[i] = p.wf;
    }
}

}  // namespace compositing
}  // namespace vidra
