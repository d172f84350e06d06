// How the engine sees one input or output of a model: the runtime's element
// type and shape, and the engine's type code, format and logical dimensions.
#ifndef TESK_ENGINE_TENSOR_DESC_H
#define TESK_ENGINE_TENSOR_DESC_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/ort_c_api.h"
#include "engine/type_format.h"

namespace tesk {

struct TensorDesc {
    std::string name;
    ort::ElementType element = ort::kElemFloat;
    std::int32_t type = kFloat32;
    std::int32_t format = kPlanar;
    Dims dims{};                      // logical N, C, H, W
    std::vector<std::int64_t> shape;  // the tensor's shape in the model
    std::size_t bytes = 0;            // storage size, padding lanes included
};

// Returns the value of a model metadata entry, or "" when there is none.
using MetadataLookup = std::function<std::string(const std::string& key)>;

// Metadata keys that declare a tensor's format and, for the padded formats,
// its logical channel count.
std::string FormatKey(const std::string& tensor);
std::string ChannelsKey(const std::string& tensor);

// Fills desc (whose name is set) from the runtime's type information and the
// metadata. False, with a reason on stderr, for anything the engine does not
// run: non-tensors, other element types, dynamic or non-positive dimensions,
// more than four dimensions (five for the blocked format), shapes that do not
// fit the declared format.
bool DescribeTensor(const ort::TypeInfo* info, const MetadataLookup& metadata, TensorDesc* desc);

// The logical dimensions of a shape in a format, or false when they do not fit.
bool LogicalDims(std::int32_t format, const std::vector<std::int64_t>& shape, std::int64_t channels, Dims* dims);

}  // namespace tesk

#endif
