// Data type and layout codes of the engine's tensors and the conversions
// between them. Dimensions are always the logical sizes N, C, H, W; the format
// says how those elements lie in memory (see engine/README.md).
#ifndef TESK_ENGINE_TYPE_FORMAT_H
#define TESK_ENGINE_TYPE_FORMAT_H

#include <cstdint>

namespace tesk {

enum DataType : std::int32_t {
    kFloat32 = 0, kFloat16 = 1, kInt32 = 2, kUint32 = 3, kUint8 = 4, kInt8 = 5
};

enum Format : std::int32_t {
    kPlanar = 0,            // NCHW
    kInterleaved = 1,       // NHWC
    kInterleavedPad4 = 2,   // NHWC, channels padded to a multiple of 4
    kBlocked4 = 5,          // N, C/4 blocks, H, W, 4 channels of the block
    kPlanarTransposed = 7,  // NCWH: each plane stored column by column
};

struct Dims {
    std::int64_t n, c, h, w;
};

// Bytes per element, 0 for an unknown type code.
int ElementSize(std::int32_t type);
bool IsKnownFormat(std::int32_t format);

// Elements a tensor occupies in memory in the given format, padding lanes
// included; -1 for an unknown format or non-positive dimensions.
std::int64_t StorageElements(std::int32_t format, const Dims& dims);

float HalfToFloat(std::uint16_t half);
std::uint16_t FloatToHalf(float value);  // round to nearest, ties to even

// Converts one tensor of the given logical dimensions from (srcType,
// srcFormat) to (dstType, dstFormat). Types convert float16 <-> float32 or stay
// the same; when the layout changes, the padding lanes of a padded destination
// are zero. 0 on success, -1 for a combination it cannot convert.
int TransformTensor(std::int32_t srcType, std::int32_t srcFormat, const Dims& dims, const void* src,
                    std::int32_t dstType, std::int32_t dstFormat, void* dst);

}  // namespace tesk

#endif
