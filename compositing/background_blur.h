// The blurred background of a frame without its person: the frame averaged
// in blocks with weights 256 - mask, blurred at that reduced resolution by
// box passes, normalised by the blurred weights, and sampled back bilinearly
// one row at a time.
#ifndef VIDRA_COMPOSITING_BACKGROUND_BLUR_H
#define VIDRA_COMPOSITING_BACKGROUND_BLUR_H

#include <cstdint>

#include "compositing/row_kernels.h"
#include "compositing/scratch_arena.h"
#include "vidra.h"

namespace vidra {
namespace compositing {

// Block factor (even, 2..254, about 2/3 of s) and box radii at the reduced
// resolution for a strength s: the block average and the bilinear return
// blur by about factor / 2 themselves, the three boxes add the rest of s.
struct BlurPlan {
    int32_t factor;
    int32_t group;  // pixels summed together in a row first (2 or 4, divides factor)
    int32_t cellsWide;
    int32_t cellsHigh;
    int32_t radii[3];
};
BlurPlan PlanBlur(int32_t width, int32_t height, int32_t strength);
int32_t MaxRadius(const BlurPlan& plan);

struct BlurBuffers {
    uint32_t* columnSums;  // 4 per pixel group of a row
    float* cells;          // 4 per cell
    float* cellsSpare;
    float* pad;            // one row of cells with its repeated edges
    uint8_t* cellBytes;    // background colour per cell, 4 bytes in the output's layout
    int32_t* xLo;
    int32_t* xHi;
    int32_t* xWq;
    float* xWf;
    uint8_t* rows[2];      // cell rows upsampled to full width, output layout
};
BlurBuffers TakeBlurBuffers(ScratchArena& arena, const BlurPlan& plan, int32_t width);

// Reads all of frame and mask: afterwards the output may be written over frame.
void PrepareBlur(const VidraImage& frame, const VidraMask& mask, RowLayout out, const BlurPlan& plan,
                 const BlurBuffers& buffers, const RowKernels& kernels);

// After the cells hold weighted sums (channels 0..2 colour * weight, 3 the
// weight): the box passes, then each cell's colour, its channel c written
// to byte place[c] of cellBytes (byte 3: 255).
void FinishBlurCells(const BlurPlan& plan, const BlurBuffers& buffers, const int32_t place[3],
                     const RowKernels& kernels);

// The background of row y, in the output's layout: two upsampled cell rows
// and the weight of the second (the blend kernel's b0, b1, wb).
struct BlurRow {
    const uint8_t* r0;
    const uint8_t* r1;
    int32_t w;
};
class BlurRowSource {
public:
    BlurRowSource(const BlurPlan& plan, const BlurBuffers& buffers, int32_t width, int32_t bpp,
                  const RowKernels& kernels);
    BlurRow Row(int32_t y);

private:
    const uint8_t* CellRow(int32_t cy);

    BlurPlan plan_;
    BlurBuffers buffers_;
    int32_t width_;
    int32_t bpp_;
    const RowKernels& kernels_;
    int32_t cached_[2] = {-1, -1};
    int32_t next_ = 0;
};

}  // namespace compositing
}  // namespace vidra

#endif
