#include "compositing/background_blur.h"

#include <cmath>
#include <cstring>

#include "compositing/box_sum.h"
#include "compositing/layout_of.h"
#include "compositing/resample_axis.h"
#include "image/rows.h"

namespace vidra {
namespace compositing {
namespace {

inline int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

int32_t MaxRadius(const BlurPlan& plan) {
    int32_t r = 0;
    for (int32_t v : plan.radii) r = v > r ? v : r;
    return r;
}

BlurPlan PlanBlur(int32_t width, int32_t height, int32_t strength) {
    BlurPlan plan{};
    // Even, so that pixel pairs (or quads) never straddle blocks.
    plan.factor = Clamp(((2 * strength + 1) / 3 + 1) & ~1, 2, 254);
    plan.group = plan.factor % 4 == 0 ? 4 : 2;
    plan.cellsWide = CellCount(width, plan.factor);
    plan.cellsHigh = CellCount(height, plan.factor);
    const float s = static_cast<float>(strength);
    const float f = static_cast<float>(plan.factor);
    // Variance left for the boxes, in cells squared.
    const float var = (s * s - f * f * 0.25f) / (f * f);
    if (var <= 0.0f) return plan;
    // Three boxes of widths wl or wl + 2 whose variances add up to var.
    int32_t wl = static_cast<int32_t>(std::sqrt(4.0f * var + 1.0f));
    if (wl % 2 == 0) --wl;
    const float m = (12.0f * var - 3.0f * wl * wl - 12.0f * wl - 9.0f) / (-4.0f * wl - 4.0f);
    const int32_t small = static_cast<int32_t>(m + 0.5f);
    for (int32_t i = 0; i < 3; ++i) plan.radii[i] = i < small ? (wl - 1) / 2 : (wl + 1) / 2;
    return plan;
}

BlurBuffers TakeBlurBuffers(ScratchArena& arena, const BlurPlan& plan, int32_t width) {
    const size_t cells = static_cast<size_t>(plan.cellsWide) * plan.cellsHigh;
    BlurBuffers b{};
    b.columnSums = arena.Take<uint32_t>(static_cast<size_t>(CellCount(width, plan.group)) * 4);
    b.cells = arena.Take<float>(cells * 4);
    b.cellsSpare = arena.Take<float>(cells * 4);
    b.pad = arena.Take<float>(BoxSumPadFloats(plan.cellsWide, 4, MaxRadius(plan)));
    b.cellBytes = arena.Take<uint8_t>(cells * 4);
    b.xLo = arena.Take<int32_t>(width);
    b.xHi = arena.Take<int32_t>(width);
    b.xWq = arena.Take<int32_t>(width);
    b.xWf = arena.Take<float>(width);
    b.rows[0] = arena.Take<uint8_t>(static_cast<size_t>(width) * 4);
    b.rows[1] = arena.Take<uint8_t>(static_cast<size_t>(width) * 4);
    return b;
}

void PrepareBlur(const VidraImage& frame, const VidraMask& mask, RowLayout out, const BlurPlan& plan,
                 const BlurBuffers& b, const RowKernels& kernels) {
    const int32_t width = frame.width, height = frame.height, k = plan.factor;
    const int32_t cw = plan.cellsWide, ch = plan.cellsHigh;
    const RowLayout from = LayoutOf(frame.format);

    // Weighted block averages: colour * weight in 0..2 (frame byte order), weight in 3.
    const int32_t groups = CellCount(width, plan.group);
    const int32_t per = k / plan.group;
    for (int32_t cy = 0; cy < ch; ++cy) {
        const int32_t y0 = cy * k, y1 = BlockEnd(y0, k, height);
        std::memset(b.columnSums, 0, static_cast<size_t>(groups) * 4 * sizeof(uint32_t));
        for (int32_t y = y0; y < y1; ++y)
            kernels.accumulateWeighted(image::RowOf(frame, 0, y), from.bpp, image::RowOf(mask, y), b.columnSums, width,
                                       plan.group);
        const float fullInverse = 1.0f / static_cast<float>((y1 - y0) * k);
        for (int32_t cx = 0; cx < cw; ++cx) {
            const int32_t x0 = cx * k, x1 = BlockEnd(x0, k, width);
            const int32_t q0 = cx * per, q1 = BlockEnd(q0, per, groups);
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int32_t q = q0; q < q1; ++q)
                for (int32_t c = 0; c < 4; ++c) sum[c] += b.columnSums[4 * q + c];
            const float inverse =
                x1 - x0 == k ? fullInverse : 1.0f / static_cast<float>((y1 - y0) * (x1 - x0));
            float* cell = b.cells + (static_cast<size_t>(cy) * cw + cx) * 4;
            for (int32_t c = 0; c < 4; ++c) cell[c] = static_cast<float>(sum[c]) * inverse;
        }
    }

    // Channel c of the cells is frame byte c; its colour goes to the output's byte for it.
    int32_t place[3];
    place[from.red] = out.red;
    place[from.green] = out.green;
    place[from.blue] = out.blue;
    FinishBlurCells(plan, b, place, kernels);
    BuildAxis(width, k, cw, b.xLo, b.xHi, b.xWq, b.xWf);
}

void FinishBlurCells(const BlurPlan& plan, const BlurBuffers& b, const int32_t place[3],
                     const RowKernels& kernels) {
    const int32_t cw = plan.cellsWide, ch = plan.cellsHigh;
    // Box passes; normalisation cancels in the ratio below.
    float* src = b.cells;
    for (int32_t r : plan.radii)
        if (r > 0) BoxSum(src, b.cellsSpare, src, cw, ch, 4, r, b.pad, kernels);

    // Colour = blurred (colour * weight) * (1 / blurred weight), rounded.
    const size_t cells = static_cast<size_t>(cw) * ch;
    for (size_t i = 0; i < cells; ++i) {
        const float* cell = src + 4 * i;
        uint8_t* bytes = b.cellBytes + 4 * i;
        const float inverse = 1.0f / cell[3];
        for (int32_t c = 0; c < 3; ++c) {
            float v = cell[c] * inverse + 0.5f;
            v = v < 255.0f ? v : 255.0f;
            bytes[place[c]] = static_cast<uint8_t>(static_cast<int32_t>(v));
        }
        bytes[3] = 255;
    }
}

BlurRowSource::BlurRowSource(const BlurPlan& plan, const BlurBuffers& buffers, int32_t width,
                             int32_t bpp, const RowKernels& kernels)
    : plan_(plan), buffers_(buffers), width_(width), bpp_(bpp), kernels_(kernels) {}

const uint8_t* BlurRowSource::CellRow(int32_t cy) {
    for (int32_t s = 0; s < 2; ++s)
        if (cached_[s] == cy) {
            next_ = 1 - s;  // keep this one for the row's other neighbour
            return buffers_.rows[s];
        }
    const int32_t s = next_;
    const AxisSamples axis{buffers_.xLo, buffers_.xHi, buffers_.xWq, buffers_.xWf};
    kernels_.upsampleRow(buffers_.cellBytes + static_cast<size_t>(cy) * plan_.cellsWide * 4, axis,
                         buffers_.rows[s], width_, bpp_);
    cached_[s] = cy;
    next_ = 1 - s;
    return buffers_.rows[s];
}

BlurRow BlurRowSource::Row(int32_t y) {
    const AxisPoint p = SampleAxis(y, plan_.factor, plan_.cellsHigh);
    const uint8_t* r0 = CellRow(p.lo);
    if (p.wq == 0) return {r0, r0, 0};
    return {r0, CellRow(p.hi), p.wq};
}

}  // namespace compositing
}  // namespace vidra
