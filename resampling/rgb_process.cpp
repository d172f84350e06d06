#include "resampling/rgb_process.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "common/bounded_copy.h"
#include "common/log.h"
#include "resampling/resize_kernels.h"

namespace rgbproc {

namespace {

bool HasPixels(const ResizeGeometry& g) {
    return g.srcWidth >= 1 && g.srcHeight >= 1 && g.dstWidth >= 1 && g.dstHeight >= 1;
}

bool SameSize(const ResizeGeometry& g) {
    return g.srcWidth == g.dstWidth && g.srcHeight == g.dstHeight;
}

// Bytes of a plane of width x height elements; 0 for an empty or negative size.
std::size_t PlaneBytes(int32_t width, int32_t height, std::size_t element) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * element;
}

}  // namespace

RGBPROCESS::~RGBPROCESS() {
    delete[] m_resizedFrame;
}

void RGBPROCESS::BuildResizeTables(int32_t* indices, float* weights, const ResizeGeometry* geometry,
                                   int32_t step) {
    if (indices == nullptr || weights == nullptr || geometry == nullptr || !HasPixels(*geometry)) {
        return;
    }
    const int32_t dw = geometry->dstWidth;
    const int32_t dh = geometry->dstHeight;
    const auto& k = vidra::resampling::ActiveResizeKernels();
    k.buildAxis(geometry->srcWidth, dw, step, indices, indices + dw, weights, weights + dw);
    k.buildAxis(geometry->srcHeight, dh, step, indices + 2 * dw, indices + 2 * dw + dh,
                weights + 2 * dw, weights + 2 * dw + dh);
}

void RGBPROCESS::ResizeUcharChannel(const uint8_t* src, uint8_t* dst,
                                    const ResizeGeometry* geometry, int32_t step) {
    if (src == nullptr || dst == nullptr || geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (!HasPixels(g) || step < 1) return;
    vidra::resampling::ResizeChannelPlane(vidra::resampling::ActiveResizeKernels(), src, dst, g, step);
}

void RGBPROCESS::ResizeUcharPixels(const uint8_t* src, uint8_t* dst, const ResizeGeometry* geometry,
                                   int32_t step) {
    if (src == nullptr || dst == nullptr || geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (!HasPixels(g) || (step != 3 && step != 4)) return;
    vidra::resampling::ResizePixelPlane(vidra::resampling::ActiveResizeKernels(), src, dst, g, step);
}

void RGBPROCESS::ResizeUcharMask(const uint8_t* src, uint8_t* dst, const ResizeGeometry* geometry) {
    if (src == nullptr || dst == nullptr || geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (SameSize(g)) {
        const std::size_t bytes = PlaneBytes(g.srcWidth, g.srcHeight, 1);
        const int rc = BoundedCopy(dst, bytes, src, bytes);
        if (rc != kCopyOk) {
            LogPrintf("ResizeUcharMask failed, copy failed %d", rc);
        } else {
            LogPrintf("ResizeUcharMask copy succeeded");
        }
        return;
    }
    if (!HasPixels(g)) return;
    vidra::resampling::ResizeMaskPlane(vidra::resampling::ActiveResizeKernels(), src, dst, g);
}

void RGBPROCESS::ResizeFloat(const float* src, float* dst, const ResizeGeometry* geometry) {
    if (geometry == nullptr) return;
    const ResizeGeometry g = *geometry;
    if (SameSize(g)) {
        const std::size_t bytes = PlaneBytes(g.srcWidth, g.srcHeight, sizeof(float));
        const int rc = BoundedCopy(dst, bytes, src, bytes);
        if (rc != kCopyOk) LogPrintf("ResizeFloat failed, copy failed %d", rc);
        return;
    }
    if (src == nullptr || dst == nullptr || !HasPixels(g)) return;
    vidra::resampling::ResizeFloatPlane(vidra::resampling::ActiveResizeKernels(), src, dst, g);
}

}  // namespace rgbproc
