#include "compositing/composite.h"

#include "compositing/background_blur.h"
#include "compositing/layout_of.h"
#include "compositing/scratch_arena.h"
#include "compositing/yuv_composite.h"
#include "image/image_checks.h"
#include "image/overlap.h"

namespace vidra {
namespace compositing {
namespace {

constexpr int32_t kMaxBlurStrength = 500;

using image::RowOf;

bool Packed(int32_t format) { return image::FindFormat(format)->planes == 1; }

// Packed frames: packed outputs and images. YUV frames: the frame's own
// format out (any image, converted), or a 4-byte packed output for
// TRANSPARENT.
bool FormatsAccepted(const VidraImage& frame, const VidraCompositeOptions& o, const VidraImage& output) {
    const bool transparent = o.background == VIDRA_BACKGROUND_TRANSPARENT;
    if (transparent) return Packed(output.format) && LayoutOf(output.format).bpp == 4;
    if (Packed(frame.format))
        return Packed(output.format) && (o.background != VIDRA_BACKGROUND_IMAGE || Packed(o.image->format));
    return output.format == frame.format;
}

bool SameLayout(const RowLayout& a, const RowLayout& b) {
    return a.bpp == b.bpp && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

struct RowBuffers {
    uint8_t* frameRow;  // the frame row in the output's layout
    uint8_t* backRow;   // the background row in the output's layout
};

RowBuffers TakeRowBuffers(ScratchArena& arena, int32_t width) {
    RowBuffers r;
    r.frameRow = arena.Take<uint8_t>(static_cast<size_t>(width) * 4);
    r.backRow = arena.Take<uint8_t>(static_cast<size_t>(width) * 4);
    return r;
}

}  // namespace

int32_t CheckCompositeOptions(const VidraCompositeOptions& o) {
    if (o.structSize != sizeof(VidraCompositeOptions)) return VIDRA_STATUS_BAD_STRUCT_SIZE;
    switch (o.background) {
        case VIDRA_BACKGROUND_BLUR:
            return o.blurStrength >= 1 && o.blurStrength <= kMaxBlurStrength ? VIDRA_STATUS_OK
                                                                             : VIDRA_STATUS_BAD_OPTION;
        case VIDRA_BACKGROUND_COLOR:
        case VIDRA_BACKGROUND_IMAGE:
        case VIDRA_BACKGROUND_TRANSPARENT: return VIDRA_STATUS_OK;
        default: return VIDRA_STATUS_BAD_OPTION;
    }
}

int32_t CheckCompositeArguments(const VidraImage* frame, const VidraMask* mask,
                                const VidraCompositeOptions* options, const VidraImage* output) {
    if (frame == nullptr || mask == nullptr || options == nullptr || output == nullptr)
        return VIDRA_STATUS_NULL_ARGUMENT;
    int32_t status = CheckCompositeOptions(*options);
    if (status != VIDRA_STATUS_OK) return status;
    const bool withImage = options->background == VIDRA_BACKGROUND_IMAGE;
    if (withImage && options->image == nullptr) return VIDRA_STATUS_NULL_ARGUMENT;
    const int32_t w = frame->width, h = frame->height;
    if ((status = image::CheckImage(*frame, w, h)) != VIDRA_STATUS_OK) return status;
    if ((status = image::CheckMask(*mask, w, h)) != VIDRA_STATUS_OK) return status;
    if ((status = image::CheckImage(*output, w, h)) != VIDRA_STATUS_OK) return status;
    if (withImage && (status = image::CheckImage(*options->image, w, h)) != VIDRA_STATUS_OK)
        return status;
    if (!FormatsAccepted(*frame, *options, *output)) return VIDRA_STATUS_UNSUPPORTED_FORMAT;

    if (image::PlanesOverlap(*output)) return VIDRA_STATUS_OVERLAP;
    if (!image::SameRows(*frame, *output) && image::ImagesOverlap(*frame, *output)) return VIDRA_STATUS_OVERLAP;
    if (image::ImageOverlapsMask(*output, *mask)) return VIDRA_STATUS_OVERLAP;
    if (withImage && image::ImagesOverlap(*options->image, *output)) return VIDRA_STATUS_OVERLAP;
    return VIDRA_STATUS_OK;
}

bool CompositeScratchBytes(int32_t width, int32_t height, const VidraCompositeOptions& o, size_t* bytes) {
    // The larger of the packed and the YUV needs: one answer for any formats.
    ScratchArena packed, yuv;
    TakeRowBuffers(packed, width);
    if (o.background == VIDRA_BACKGROUND_BLUR)
        TakeBlurBuffers(packed, PlanBlur(width, height, o.blurStrength), width);
    TakeYuvBuffers(yuv, width, height, o);
    if (!packed.Representable() || !yuv.Representable()) return false;
    *bytes = packed.Required() > yuv.Required() ? packed.Required() : yuv.Required();
    return true;
}

void CompositeChecked(const VidraImage& frame, const VidraMask& mask, const VidraCompositeOptions& o,
                      VidraImage& output, void* scratch, size_t scratchBytes,
                      const RowKernels& k, const YuvKernels& yuvKernels) {
    const int32_t width = frame.width, height = frame.height;
    if (!Packed(frame.format)) {
        ScratchArena arena(scratch, scratchBytes);
        CompositeYuv(frame, mask, o, output, arena, k, yuvKernels);
        return;
    }
    const RowLayout in = LayoutOf(frame.format), out = LayoutOf(output.format);
    const bool convertFrame = !SameLayout(in, out);
    ScratchArena arena(scratch, scratchBytes);
    const RowBuffers rows = TakeRowBuffers(arena, width);

    // The frame row y in the output's layout.
    auto frameRow = [&](int32_t y) -> const uint8_t* {
        if (!convertFrame) return RowOf(frame, 0, y);
        k.pack(RowOf(frame, 0, y), in, nullptr, rows.frameRow, out, width);
        return rows.frameRow;
    };

    switch (o.background) {
        case VIDRA_BACKGROUND_TRANSPARENT:
            for (int32_t y = 0; y < height; ++y)
                k.pack(RowOf(frame, 0, y), in, RowOf(mask, y), RowOf(output, 0, y), out, width);
            return;
        case VIDRA_BACKGROUND_COLOR: {
            const uint8_t color[4] = {o.color[0], o.color[1], o.color[2], 255};
            k.pack(color, RowLayout{4, 0, 1, 2}, nullptr, rows.backRow, out, 1);
            for (size_t i = out.bpp; i < static_cast<size_t>(width) * out.bpp; ++i)
                rows.backRow[i] = rows.backRow[i - out.bpp];
            for (int32_t y = 0; y < height; ++y)
                k.blend(frameRow(y), rows.backRow, rows.backRow, 0, RowOf(mask, y), RowOf(output, 0, y), width,
                        out.bpp);
            return;
        }
        case VIDRA_BACKGROUND_IMAGE: {
            const VidraImage& image = *o.image;
            const RowLayout bl = LayoutOf(image.format);
            const bool convertBack = !SameLayout(bl, out);
            for (int32_t y = 0; y < height; ++y) {
                const uint8_t* back = RowOf(image, 0, y);
                if (convertBack) {
                    k.pack(back, bl, nullptr, rows.backRow, out, width);
                    back = rows.backRow;
                }
                k.blend(frameRow(y), back, back, 0, RowOf(mask, y), RowOf(output, 0, y), width, out.bpp);
            }
            return;
        }
        case VIDRA_BACKGROUND_BLUR: {
            const BlurPlan plan = PlanBlur(width, height, o.blurStrength);
            const BlurBuffers buffers = TakeBlurBuffers(arena, plan, width);
            PrepareBlur(frame, mask, out, plan, buffers, k);
            BlurRowSource source(plan, buffers, width, out.bpp, k);
            for (int32_t y = 0; y < height; ++y) {
                const BlurRow back = source.Row(y);
                k.blend(frameRow(y), back.r0, back.r1, back.w, RowOf(mask, y), RowOf(output, 0, y), width,
                        out.bpp);
            }
            return;
        }
        default: return;
    }
}

}  // namespace compositing
}  // namespace vidra
