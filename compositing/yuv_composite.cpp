#include "compositing/yuv_composite.h"

#include <cstring>

#include "compositing/background_blur.h"
#include "compositing/layout_of.h"
#include "compositing/resample_axis.h"
#include "compositing/yuv_colour.h"
#include "image/pixel_format.h"
#include "image/rows.h"
#include "resampling/yuv_kernels.h"

namespace vidra {
namespace compositing {
namespace {

using image::RowOf;

// The chroma of row cy: U and V bytes of column j at u[j * step], v[j * step].
struct Chroma {
    uint8_t* u;
    uint8_t* v;
    int32_t step;
};
Chroma ChromaRow(const VidraImage& image, int32_t cy) {
    uint8_t* u = RowOf(image, 1, cy);
    if (image::FindFormat(image.format)->planes == 2) return {u, u + 1, 2};
    return {u, RowOf(image, 2, cy), 1};
}

struct YuvBuffers {
    int32_t chromaWidth;
    uint8_t* chromaMask;
    uint8_t* lumaBack[2];  // background luma rows
    uint8_t* chromaBack;   // background chroma row in the output's layout (I420: U, then V)
    // Transparent only.
    int32_t* columns;      // 0 .. width - 1
    uint8_t* rgbRow;       // a frame row converted to RGB24
    // Blur only.
    BlurBuffers blur;
    YuvSums sums;
    int32_t* cLo;
    int32_t* cHi;
    int32_t* cWq;
    float* cWf;
    uint8_t* chromaRows[2];  // cell rows upsampled to chroma width, output layout
};

YuvBuffers Take(ScratchArena& arena, int32_t width, int32_t height, const VidraCompositeOptions& o) {
    YuvBuffers b{};
    const int32_t cw = CellCount(width, 2);
    const size_t chromaBytes = 2 * static_cast<size_t>(cw);
    b.chromaWidth = cw;
    b.chromaMask = arena.Take<uint8_t>(cw);
    b.lumaBack[0] = arena.Take<uint8_t>(width);
    b.lumaBack[1] = arena.Take<uint8_t>(width);
    b.chromaBack = arena.Take<uint8_t>(chromaBytes);
    if (o.background == VIDRA_BACKGROUND_TRANSPARENT) {
        b.columns = arena.Take<int32_t>(width);
        b.rgbRow = arena.Take<uint8_t>(3 * static_cast<size_t>(width));
    }
    if (o.background != VIDRA_BACKGROUND_BLUR) return b;
    const BlurPlan plan = PlanBlur(width, height, o.blurStrength);
    b.blur = TakeBlurBuffers(arena, plan, width);
    for (uint32_t** s : {&b.sums.luma, &b.sums.u, &b.sums.v, &b.sums.weight}) *s = arena.Take<uint32_t>(cw);
    b.cLo = arena.Take<int32_t>(cw);
    b.cHi = arena.Take<int32_t>(cw);
    b.cWq = arena.Take<int32_t>(cw);
    b.cWf = arena.Take<float>(cw);
    b.chromaRows[0] = arena.Take<uint8_t>(chromaBytes);
    b.chromaRows[1] = arena.Take<uint8_t>(chromaBytes);
    return b;
}

// Two slots of upsampled cell rows; fill(cy, slot) writes cell row cy into a slot.
template <typename Fill>
class CellRows {
public:
    CellRows(uint8_t* const slots[2], Fill fill) : slots_{slots[0], slots[1]}, fill_(fill) {}
    const uint8_t* Row(int32_t cy) {
        for (int32_t s = 0; s < 2; ++s)
            if (held_[s] == cy) {
                next_ = 1 - s;  // keep this one for the row's other neighbour
                return slots_[s];
            }
        const int32_t s = next_;
        fill_(cy, slots_[s]);
        held_[s] = cy;
        next_ = 1 - s;
        return slots_[s];
    }

private:
    uint8_t* slots_[2];
    Fill fill_;
    int32_t held_[2] = {-1, -1};
    int32_t next_ = 0;
};

// Weighted block sums of the frame into the blur cells ([Y, U, V, weight]
// per cell, as for packed frames), then the blurred cell colours.
void PrepareYuvBlur(const VidraImage& frame, const VidraMask& mask, const BlurPlan& plan, const YuvBuffers& b,
                    const RowKernels& rowKernels, const YuvKernels& kernels) {
    const int32_t width = frame.width, height = frame.height, k = plan.factor, half = k / 2;
    const int32_t cw = b.chromaWidth, chromaHeight = CellCount(height, 2);
    for (int32_t cy = 0; cy < plan.cellsHigh; ++cy) {
        for (uint32_t* s : {b.sums.luma, b.sums.u, b.sums.v, b.sums.weight})
            std::memset(s, 0, static_cast<size_t>(cw) * sizeof(uint32_t));
        const int32_t r0 = cy * half, r1 = BlockEnd(r0, half, chromaHeight);
        for (int32_t r = r0; r < r1; ++r) {
            const int32_t y0 = 2 * r;
            const bool second = y0 + 1 < height;
            const Chroma c = ChromaRow(frame, r);
            kernels.accumulate(RowOf(frame, 0, y0), second ? RowOf(frame, 0, y0 + 1) : nullptr, RowOf(mask, y0),
                               second ? RowOf(mask, y0 + 1) : nullptr, c.u, c.v, c.step, b.sums, width);
        }
        const int32_t rows = BlockEnd(cy * k, k, height) - cy * k;
        for (int32_t cx = 0; cx < plan.cellsWide; ++cx) {
            const int32_t q0 = cx * half, q1 = BlockEnd(q0, half, cw);
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int32_t q = q0; q < q1; ++q) {
                sum[0] += b.sums.luma[q];
                sum[1] += b.sums.u[q];
                sum[2] += b.sums.v[q];
                sum[3] += b.sums.weight[q];
            }
            const int32_t columns = BlockEnd(cx * k, k, width) - cx * k;
            const float inverse = 1.0f / static_cast<float>(rows * columns);
            float* cell = b.blur.cells + (static_cast<size_t>(cy) * plan.cellsWide + cx) * 4;
            for (int32_t c = 0; c < 4; ++c) cell[c] = static_cast<float>(sum[c]) * inverse;
        }
    }
    const int32_t place[3] = {0, 1, 2};
    FinishBlurCells(plan, b.blur, place, rowKernels);
    BuildAxis(width, k, plan.cellsWide, b.blur.xLo, b.blur.xHi, b.blur.xWq, b.blur.xWf);
    BuildAxis(cw, half, plan.cellsWide, b.cLo, b.cHi, b.cWq, b.cWf);
}

// The background image's luma row y into out (or its own row when it is
// YUV), for a YUV output.
const uint8_t* ImageLuma(const VidraImage& image, int32_t y, uint8_t* out) {
    const image::FormatInfo& f = *image::FindFormat(image.format);
    if (f.yuv) return RowOf(image, 0, y);
    const uint8_t* row = RowOf(image, 0, y);
    const image::ChannelOrder o = f.order;
    for (int32_t x = 0; x < image.width; ++x, row += o.bpp) out[x] = LumaOf(row[o.red], row[o.green], row[o.blue]);
    return out;
}

// The background image's chroma row cy in the output's chroma layout: from a
// YUV image its samples; from a packed one the rounded mean colour of each
// 2 x 2 block (edges repeated) converted.
void ImageChroma(const VidraImage& image, int32_t cy, int32_t outStep, uint8_t* out, int32_t chromaWidth) {
    const image::FormatInfo& f = *image::FindFormat(image.format);
    uint8_t* u = out;
    uint8_t* v = outStep == 2 ? out + 1 : out + chromaWidth;
    if (f.yuv) {
        const Chroma c = ChromaRow(image, cy);
        for (int32_t j = 0; j < chromaWidth; ++j) {
            u[j * outStep] = c.u[j * c.step];
            v[j * outStep] = c.v[j * c.step];
        }
        return;
    }
    const image::ChannelOrder o = f.order;
    const int32_t y0 = 2 * cy, y1 = y0 + 1 < image.height ? y0 + 1 : y0;
    const uint8_t* rows[2] = {RowOf(image, 0, y0), RowOf(image, 0, y1)};
    for (int32_t j = 0; j < chromaWidth; ++j) {
        const int32_t x0 = 2 * j, x1 = x0 + 1 < image.width ? x0 + 1 : x0;
        uint32_t r = 0, g = 0, b = 0;
        for (const uint8_t* row : rows)
            for (int32_t x : {x0, x1}) {
                const uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * o.bpp;
                r += p[o.red];
                g += p[o.green];
                b += p[o.blue];
            }
        r = (r + 2) >> 2, g = (g + 2) >> 2, b = (b + 2) >> 2;
        u[j * outStep] = BlueDifferenceOf(r, g, b);
        v[j * outStep] = RedDifferenceOf(r, g, b);
    }
}

// TRANSPARENT: the frame in RGB as the input stage converts it (each pixel
// with the chroma of its block), the mask as alpha.
void ToPackedWithAlpha(const VidraImage& frame, const VidraMask& mask, VidraImage& output, const YuvBuffers& b,
                       const RowKernels& rowKernels) {
    for (int32_t x = 0; x < frame.width; ++x) b.columns[x] = x;
    const auto gather = resampling::ActiveYuvKernels().gatherRow;
    const RowLayout rgb{3, 0, 1, 2}, out = LayoutOf(output.format);
    for (int32_t y = 0; y < frame.height; ++y) {
        const Chroma c = ChromaRow(frame, y / 2);
        const resampling::YuvRow row{RowOf(frame, 0, y), c.u, c.v, c.step};
        gather(row, b.columns, frame.width, b.rgbRow);
        rowKernels.pack(b.rgbRow, rgb, RowOf(mask, y), RowOf(output, 0, y), out, frame.width);
    }
}

}  // namespace

void TakeYuvBuffers(ScratchArena& arena, int32_t width, int32_t height, const VidraCompositeOptions& options) {
    Take(arena, width, height, options);
}

void CompositeYuv(const VidraImage& frame, const VidraMask& mask, const VidraCompositeOptions& o,
                  VidraImage& output, ScratchArena& arena, const RowKernels& rowKernels, const YuvKernels& k) {
    const int32_t width = frame.width, height = frame.height;
    const YuvBuffers b = Take(arena, width, height, o);
    if (o.background == VIDRA_BACKGROUND_TRANSPARENT) {
        ToPackedWithAlpha(frame, mask, output, b, rowKernels);
        return;
    }
    const int32_t cw = b.chromaWidth, chromaHeight = CellCount(height, 2);
    const bool interleaved = image::FindFormat(output.format)->planes == 2;
    const int32_t outStep = interleaved ? 2 : 1;

    // Background rows of luma row y and chroma row cy: two rows and the
    // weight of the second, as the blend takes them.
    struct Back {
        const uint8_t* r0;
        const uint8_t* r1;
        int32_t w;
    };
    BlurPlan plan{};
    if (o.background == VIDRA_BACKGROUND_BLUR) {
        plan = PlanBlur(width, height, o.blurStrength);
        PrepareYuvBlur(frame, mask, plan, b, rowKernels, k);
    } else if (o.background == VIDRA_BACKGROUND_COLOR) {
        const uint8_t r = o.color[0], g = o.color[1], bl = o.color[2];
        std::memset(b.lumaBack[0], LumaOf(r, g, bl), static_cast<size_t>(width));
        const uint8_t cu = BlueDifferenceOf(r, g, bl), cv = RedDifferenceOf(r, g, bl);
        for (int32_t j = 0; j < cw; ++j) {
            b.chromaBack[j * outStep] = cu;
            b.chromaBack[interleaved ? 2 * j + 1 : cw + j] = cv;
        }
    }
    const AxisSamples lumaAxis{b.blur.xLo, b.blur.xHi, b.blur.xWq, b.blur.xWf};
    const AxisSamples chromaAxis{b.cLo, b.cHi, b.cWq, b.cWf};
    const size_t cellRow = static_cast<size_t>(plan.cellsWide) * 4;
    auto fillLuma = [&](int32_t cy, uint8_t* slot) { k.upsample(b.blur.cellBytes + cy * cellRow, lumaAxis, slot, width, 0, 1); };
    auto fillChroma = [&](int32_t cy, uint8_t* slot) {
        const uint8_t* cells = b.blur.cellBytes + cy * cellRow;
        if (interleaved) {
            k.upsample(cells, chromaAxis, slot, cw, 1, 2);
        } else {
            k.upsample(cells, chromaAxis, slot, cw, 1, 1);
            k.upsample(cells, chromaAxis, slot + cw, cw, 2, 1);
        }
    };
    CellRows<decltype(fillLuma)> lumaRows(b.blur.rows, fillLuma);
    CellRows<decltype(fillChroma)> chromaRows(b.chromaRows, fillChroma);
    auto blurRow = [&](auto& rows, int32_t i, int32_t factor) {
        const AxisPoint p = SampleAxis(i, factor, plan.cellsHigh);
        const uint8_t* r0 = rows.Row(p.lo);
        return p.wq == 0 ? Back{r0, r0, 0} : Back{r0, rows.Row(p.hi), p.wq};
    };

    for (int32_t cy = 0; cy < chromaHeight; ++cy) {
        const int32_t y0 = 2 * cy;
        const bool second = y0 + 1 < height;
        k.chromaMask(RowOf(mask, y0), second ? RowOf(mask, y0 + 1) : nullptr, b.chromaMask, width);
        for (int32_t y = y0; y < y0 + (second ? 2 : 1); ++y) {
            Back back{b.lumaBack[0], b.lumaBack[0], 0};
            if (o.background == VIDRA_BACKGROUND_BLUR) back = blurRow(lumaRows, y, plan.factor);
            if (o.background == VIDRA_BACKGROUND_IMAGE) {
                const uint8_t* row = ImageLuma(*o.image, y, b.lumaBack[y - y0]);
                back = {row, row, 0};
            }
            k.blend(RowOf(frame, 0, y), back.r0, back.r1, back.w, RowOf(mask, y), 0, RowOf(output, 0, y), width);
        }
        Back back{b.chromaBack, b.chromaBack, 0};
        if (o.background == VIDRA_BACKGROUND_BLUR) back = blurRow(chromaRows, cy, plan.factor / 2);
        if (o.background == VIDRA_BACKGROUND_IMAGE) ImageChroma(*o.image, cy, outStep, b.chromaBack, cw);
        const Chroma in = ChromaRow(frame, cy), out = ChromaRow(output, cy);
        if (interleaved) {
            k.blend(in.u, back.r0, back.r1, back.w, b.chromaMask, 1, out.u, 2 * cw);
        } else {
            k.blend(in.u, back.r0, back.r1, back.w, b.chromaMask, 0, out.u, cw);
            k.blend(in.v, back.r0 + cw, back.r1 + cw, back.w, b.chromaMask, 0, out.v, cw);
        }
    }
}

}  // namespace compositing
}  // namespace vidra
