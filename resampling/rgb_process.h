// rgbproc::RGBPROCESS: the frame geometry, the buffer holding the frame
// resized to the network input, and the bilinear resize routines.
#ifndef VIDRA_RESAMPLING_RGB_PROCESS_H
#define VIDRA_RESAMPLING_RGB_PROCESS_H

#include <cstdint>

#include "resampling/resize_geometry.h"

namespace rgbproc {

// Index and weight tables of one 8-bit resize call: 2 * (dstWidth + dstHeight)
// entries each, in four runs x0|x1|y0|y1 and wx0|wx1|wy0|wy1. Indices already
// carry the pixel step.
struct ResizeTables {
    int32_t* indices = nullptr;
    float* weights = nullptr;
    int32_t dstWidth = 0;
    int32_t dstHeight = 0;
    const int32_t* x0() const { return indices; }
    const int32_t* x1() const { return indices + dstWidth; }
    const int32_t* y0() const { return indices + 2 * dstWidth; }
    const int32_t* y1() const { return indices + 2 * dstWidth + dstHeight; }
    const float* wx0() const { return weights; }
    const float* wx1() const { return weights + dstWidth; }
    const float* wy0() const { return weights + 2 * dstWidth; }
    const float* wy1() const { return weights + 2 * dstWidth + dstHeight; }
};

class RGBPROCESS {
public:
    RGBPROCESS() = default;
    RGBPROCESS(const RGBPROCESS&) = delete;
    RGBPROCESS& operator=(const RGBPROCESS&) = delete;
    virtual ~RGBPROCESS();

    // Every resize routine returns without writing when a size is below 1 and
    // handles sizes of 1 without reading outside the source: a destination
    // axis of 1 samples source position 0, a source axis of 1 is replicated.

    // One channel of an interleaved image (pixel step `step` in both images);
    // writes only byte (y * dstWidth + x) * step of dst. Halves round up.
    // Tables that cannot be allocated throw std::bad_alloc before dst is written.
    void ResizeUcharChannel(const uint8_t* src, uint8_t* dst, const ResizeGeometry* geometry,
                            int32_t step);

    // Bytes 0..2 of every pixel of an interleaved image (step 3 or 4 in both
    // images): the bytes of ResizeUcharChannel on each of the three channels,
    // in one pass. Other bytes of dst are not written; a step other than 3
    // or 4 writes nothing.
    void ResizeUcharPixels(const uint8_t* src, uint8_t* dst, const ResizeGeometry* geometry, int32_t step);

    // A single-channel plane; rounds to nearest, ties to even. Equal sizes are
    // a logged bounded copy. Writes only the dstWidth x dstHeight plane, also
    // when dstWidth is not a multiple of four.
    void ResizeUcharMask(const uint8_t* src, uint8_t* dst, const ResizeGeometry* geometry);

    // Corner-aligned bilinear resize of a float plane, unrounded. Equal sizes
    // are a bounded copy (logged on failure); otherwise a null plane is ignored.
    void ResizeFloat(const float* src, float* dst, const ResizeGeometry* geometry);

    // Fills indices/weights (2 * (dstWidth + dstHeight) entries each).
    void BuildResizeTables(int32_t* indices, float* weights, const ResizeGeometry* geometry,
                           int32_t step);

    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_frameType = 0;
    uint8_t* m_resizedFrame = nullptr;
    int32_t m_rgbStep = 3;
    int32_t m_rgbaStep = 4;
};

}  // namespace rgbproc

#endif
