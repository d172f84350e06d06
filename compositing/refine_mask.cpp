#include "compositing/refine_mask.h"

#include <cstring>

#include "compositing/box_sum.h"
#include "compositing/layout_of.h"
#include "compositing/resample_axis.h"
#include "compositing/scratch_arena.h"
#include "image/image_checks.h"
#include "image/overlap.h"

namespace vidra {
namespace compositing {
namespace {

constexpr int32_t kMaxRadius = 500;
constexpr float kDefaultEpsilon = 0.001f;

inline int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

struct RefineBuffers {
    uint32_t* columnSums;  // luma, mask per pixel group of a row
    uint8_t* luma;         // of the whole frame, row after row
    float* guide;          // block means
    float* input;
    float* product;
    float* line;           // one pass of a box sum
    float* pad;
    float* sums[4];        // window sums of guide, input, guide^2, guide*input
    float* a;
    float* b;
    int32_t* xLo;
    int32_t* xHi;
    int32_t* xWq;
    float* xWf;
    float* rowsA[2];
    float* rowsB[2];
};

RefineBuffers TakeRefineBuffers(ScratchArena& arena, const RefinePlan& p, int32_t width,
                                int32_t height) {
    const size_t cells = static_cast<size_t>(p.cellsWide) * p.cellsHigh;
    RefineBuffers b{};
    b.columnSums = arena.Take<uint32_t>(static_cast<size_t>(CellCount(width, p.group)) * 2);
    b.luma = arena.Take<uint8_t>(static_cast<size_t>(width) * height);
    b.guide = arena.Take<float>(cells);
    b.input = arena.Take<float>(cells);
    b.product = arena.Take<float>(cells);
    b.line = arena.Take<float>(cells);
    b.pad = arena.Take<float>(BoxSumPadFloats(p.cellsWide, 1, p.cellRadius));
    for (auto& s : b.sums) s = arena.Take<float>(cells);
    b.a = arena.Take<float>(cells);
    b.b = arena.Take<float>(cells);
    b.xLo = arena.Take<int32_t>(width);
    b.xHi = arena.Take<int32_t>(width);
    b.xWq = arena.Take<int32_t>(width);
    b.xWf = arena.Take<float>(width);
    for (int32_t i = 0; i < 2; ++i) {
        b.rowsA[i] = arena.Take<float>(width);
        b.rowsB[i] = arena.Take<float>(width);
    }
    return b;
}

// The accumulateLumaMask of a YUV frame's luma plane, which is the guide as
// it is.
void AccumulateLumaPlane(const uint8_t* y, const uint8_t* m, uint32_t* acc, int32_t width, int32_t group,
                         uint8_t* luma) {
    std::memcpy(luma, y, static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) {
        uint32_t* a = acc + 2 * static_cast<size_t>(x / group);
        a[0] += y[x];
        a[1] += m[x];
    }
}

// Block means of luma (guide) and mask (input).
void BlockMeans(const VidraImage& frame, const VidraMask& mask, const RefinePlan& p,
                const RefineBuffers& b, const RowKernels& kernels) {
    const int32_t width = frame.width, height = frame.height, k = p.factor;
    const bool yuv = image::FindFormat(frame.format)->yuv;
    const RowLayout from = yuv ? RowLayout{} : LayoutOf(frame.format);
    const int32_t groups = CellCount(width, p.group);
    const int32_t per = k / p.group;
    for (int32_t cy = 0; cy < p.cellsHigh; ++cy) {
        const int32_t y0 = cy * k, y1 = BlockEnd(y0, k, height);
        std::memset(b.columnSums, 0, static_cast<size_t>(groups) * 2 * sizeof(uint32_t));
        for (int32_t y = y0; y < y1; ++y) {
            uint8_t* luma = b.luma + static_cast<size_t>(y) * width;
            if (yuv)
                AccumulateLumaPlane(image::RowOf(frame, 0, y), image::RowOf(mask, y), b.columnSums, width, p.group, luma);
            else
                kernels.accumulateLumaMask(image::RowOf(frame, 0, y), from, image::RowOf(mask, y), b.columnSums, width,
                                           p.group, luma);
        }
        const float fullInverse = 1.0f / static_cast<float>((y1 - y0) * k);
        for (int32_t cx = 0; cx < p.cellsWide; ++cx) {
            const int32_t x0 = cx * k, x1 = BlockEnd(x0, k, width);
            const int32_t q0 = cx * per, q1 = BlockEnd(q0, per, groups);
            uint32_t luma = 0, input = 0;
            for (int32_t q = q0; q < q1; ++q) {
                luma += b.columnSums[2 * q];
                input += b.columnSums[2 * q + 1];
            }
            const float inverse =
                x1 - x0 == k ? fullInverse : 1.0f / static_cast<float>((y1 - y0) * (x1 - x0));
            const size_t i = static_cast<size_t>(cy) * p.cellsWide + cx;
            b.guide[i] = static_cast<float>(luma) * inverse;
            b.input[i] = static_cast<float>(input) * inverse;
        }
    }
}

// Coefficients a, b of q = a I + b per block, then their window means (in
// place); every sum in a fixed order.
void Coefficients(const RefinePlan& p, const RefineBuffers& b, const RowKernels& k) {
    const int32_t cw = p.cellsWide, ch = p.cellsHigh, r = p.cellRadius;
    const size_t cells = static_cast<size_t>(cw) * ch;
    BoxSum(b.guide, b.line, b.sums[0], cw, ch, 1, r, b.pad, k);
    BoxSum(b.input, b.line, b.sums[1], cw, ch, 1, r, b.pad, k);
    for (size_t i = 0; i < cells; ++i) b.product[i] = b.guide[i] * b.guide[i];
    BoxSum(b.product, b.line, b.sums[2], cw, ch, 1, r, b.pad, k);
    for (size_t i = 0; i < cells; ++i) b.product[i] = b.guide[i] * b.input[i];
    BoxSum(b.product, b.line, b.sums[3], cw, ch, 1, r, b.pad, k);
    const float inverse = 1.0f / static_cast<float>((2 * r + 1) * (2 * r + 1));
    for (size_t i = 0; i < cells; ++i) {
        const float meanI = b.sums[0][i] * inverse;
        const float meanP = b.sums[1][i] * inverse;
        const float varI = b.sums[2][i] * inverse - meanI * meanI;
        const float cov = b.sums[3][i] * inverse - meanI * meanP;
        const float a = cov / (varI + p.epsilon);
        b.a[i] = a;
        b.b[i] = meanP - a * meanI;
    }
    BoxSum(b.a, b.line, b.a, cw, ch, 1, r, b.pad, k);
    BoxSum(b.b, b.line, b.b, cw, ch, 1, r, b.pad, k);
    for (size_t i = 0; i < cells; ++i) {
        b.a[i] = b.a[i] * inverse;
        b.b[i] = b.b[i] * inverse;
    }
}

}  // namespace

int32_t CheckRefineOptions(const VidraRefineOptions* o) {
    if (o == nullptr) return VIDRA_STATUS_OK;
    if (o->structSize != sizeof(VidraRefineOptions)) return VIDRA_STATUS_BAD_STRUCT_SIZE;
    if (o->radius < 0 || o->radius > kMaxRadius) return VIDRA_STATUS_BAD_OPTION;
    if (o->epsilon != 0.0f && !(o->epsilon >= 1e-6f && o->epsilon <= 1.0f)) return VIDRA_STATUS_BAD_OPTION;
    return VIDRA_STATUS_OK;
}

RefinePlan PlanRefine(int32_t width, int32_t height, const VidraRefineOptions* o) {
    RefinePlan p{};
    const int32_t shorter = width < height ? width : height;
    p.radius = o != nullptr && o->radius > 0 ? o->radius : (shorter / 60 > 4 ? shorter / 60 : 4);
    const float eps = o != nullptr && o->epsilon != 0.0f ? o->epsilon : kDefaultEpsilon;
    p.epsilon = eps * (255.0f * 255.0f);
    // Even from a radius of 4 on, so that pixel pairs never straddle blocks.
    p.factor = p.radius >= 4 ? (p.radius / 2) & ~1 : 1;
    p.group = p.factor % 2 == 0 ? 2 : 1;
    p.cellRadius = (p.radius + p.factor / 2) / p.factor;
    p.cellsWide = CellCount(width, p.factor);
    p.cellsHigh = CellCount(height, p.factor);
    return p;
}

int32_t CheckRefineArguments(const VidraImage* frame, const VidraMask* mask,
                             const VidraRefineOptions* options, const VidraMask* output) {
    if (frame == nullptr || mask == nullptr || output == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    int32_t status = CheckRefineOptions(options);
    if (status != VIDRA_STATUS_OK) return status;
    const int32_t w = frame->width, h = frame->height;
    if ((status = image::CheckImage(*frame, w, h)) != VIDRA_STATUS_OK) return status;
    if ((status = image::CheckMask(*mask, w, h)) != VIDRA_STATUS_OK) return status;
    if ((status = image::CheckMask(*output, w, h)) != VIDRA_STATUS_OK) return status;
    const image::RowSet out = image::MaskRows(*output);
    const bool inPlace = output->data == mask->data && output->stride == mask->stride;
    if (!inPlace && image::RowSetsOverlap(out, image::MaskRows(*mask))) return VIDRA_STATUS_OVERLAP;
    if (image::ImageOverlapsMask(*frame, *output)) return VIDRA_STATUS_OVERLAP;
    return VIDRA_STATUS_OK;
}

bool RefineScratchBytes(int32_t width, int32_t height, const RefinePlan& plan, size_t* bytes) {
    ScratchArena arena;
    TakeRefineBuffers(arena, plan, width, height);
    if (!arena.Representable()) return false;
    *bytes = arena.Required();
    return true;
}

void RefineChecked(const VidraImage& frame, const VidraMask& mask, const RefinePlan& p,
                   VidraMask& output, void* scratch, size_t scratchBytes, const RowKernels& kernels) {
    const int32_t width = frame.width, height = frame.height;
    ScratchArena arena(scratch, scratchBytes);
    const RefineBuffers b = TakeRefineBuffers(arena, p, width, height);
    BlockMeans(frame, mask, p, b, kernels);
    Coefficients(p, b, kernels);

    BuildAxis(width, p.factor, p.cellsWide, b.xLo, b.xHi, b.xWq, b.xWf);
    const AxisSamples axis{b.xLo, b.xHi, b.xWq, b.xWf};
    int32_t cached[2] = {-1, -1};
    int32_t next = 0;
    // Slot of cell row cy upsampled to full width; the other slot is kept.
    auto slotOf = [&](int32_t cy) {
        for (int32_t s = 0; s < 2; ++s)
            if (cached[s] == cy) {
                next = 1 - s;
                return s;
            }
        const int32_t s = next;
        const size_t at = static_cast<size_t>(cy) * p.cellsWide;
        kernels.upsampleFloatRow(b.a + at, axis, b.rowsA[s], width);
        kernels.upsampleFloatRow(b.b + at, axis, b.rowsB[s], width);
        cached[s] = cy;
        next = 1 - s;
        return s;
    };
    for (int32_t y = 0; y < height; ++y) {
        const AxisPoint py = SampleAxis(y, p.factor, p.cellsHigh);
        const int32_t s0 = slotOf(py.lo);
        const int32_t s1 = py.hi == py.lo ? s0 : slotOf(py.hi);
        kernels.refineRow(b.luma + static_cast<size_t>(y) * width, b.rowsA[s0], b.rowsA[s1], b.rowsB[s0],
                          b.rowsB[s1], py.wf, image::RowOf(output, y), width);
    }
}

}  // namespace compositing
}  // namespace vidra
