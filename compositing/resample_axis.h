// Geometry of the reduced-resolution work: a side of n pixels is averaged in
// blocks of `factor` (the last block may be shorter) and brought back by
// bilinear sampling between block centres, all in integer arithmetic.
#ifndef VIDRA_COMPOSITING_RESAMPLE_AXIS_H
#define VIDRA_COMPOSITING_RESAMPLE_AXIS_H

#include <cstdint>

namespace vidra {
namespace compositing {

// Blocks of `factor` covering n, without overflow for any n >= 0.
inline int32_t CellCount(int32_t n, int32_t factor) {
    return static_cast<int32_t>((static_cast<int64_t>(n) + factor - 1) / factor);
}
// The end of the block that starts at `start`, at most n.
inline int32_t BlockEnd(int32_t start, int32_t factor, int32_t n) {
    return n - start > factor ? start + factor : n;
}

// Sample of output position i between cells lo and hi: weight of hi as wq/256
// and as the float frac/(2 factor).
struct AxisPoint {
    int32_t lo;
    int32_t hi;
    int32_t wq;
    float wf;
};
AxisPoint SampleAxis(int32_t i, int32_t factor, int32_t cells);

// The samples of positions 0 .. n-1 into arrays of n.
void BuildAxis(int32_t n, int32_t factor, int32_t cells, int32_t* lo, int32_t* hi, int32_t* wq,
               float* wf);

}  // namespace compositing
}  // namespace vidra

#endif
