// Whether two buffers share a byte, judged by the bytes their rows actually
// touch: a frame in the left half of a buffer and an output in the right
// half, rows interleaved, share none, however their bounding spans overlap.
#ifndef VIDRA_IMAGE_OVERLAP_H
#define VIDRA_IMAGE_OVERLAP_H

#include <cstdint>

#include "image/pixel_format.h"
#include "vidra.h"

namespace vidra {
namespace image {

// `count` rows of `rowBytes` bytes; row i starts at first + i * stride.
struct RowSet {
    const uint8_t* first;
    int64_t stride;
    int64_t rowBytes;
    int64_t count;
};

// Exact: constant time when the strides are equal (after normalising the
// sign and merging contiguous rows), else O(rows of the shorter set).
// Both sets must describe addressable memory (no wrap around the address
// space).
bool RowSetsOverlap(const RowSet& a, const RowSet& b);

// The rows of one plane of an image that passed CheckImage, and of a mask
// that passed CheckMask.
RowSet PlaneRows(const VidraImage& image, const FormatInfo& format, int32_t plane);
RowSet MaskRows(const VidraMask& mask);

// Any byte of any plane of a in any plane of b (checked images).
bool ImagesOverlap(const VidraImage& a, const VidraImage& b);
bool ImageOverlapsMask(const VidraImage& image, const VidraMask& mask);
// Two planes of one image sharing a byte (an output must not).
bool PlanesOverlap(const VidraImage& image);
// Each plane of b is the same rows as a's (pointer, stride, row bytes): the
// in-place case.
bool SameRows(const VidraImage& a, const VidraImage& b);

}  // namespace image
}  // namespace vidra

#endif
