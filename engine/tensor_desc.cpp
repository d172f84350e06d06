#include "engine/tensor_desc.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace tesk {
namespace {

bool TypeCodeOf(int element, std::int32_t* code) {
    switch (element) {
        case ort::kElemFloat: *code = kFloat32; return true;
        case ort::kElemFloat16: *code = kFloat16; return true;
        case ort::kElemInt32: *code = kInt32; return true;
        case ort::kElemUint32: *code = kUint32; return true;
        case ort::kElemUint8: *code = kUint8; return true;
        case ort::kElemInt8: *code = kInt8; return true;
        default: return false;
    }
}

// A whole-string decimal integer in [min, max]; "" counts as absent.
bool ParseCode(const std::string& text, long min, long max, long* value) {
    if (text.empty()) return true;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || v < min || v > max) return false;
    *value = v;
    return true;
}

bool Refuse(const TensorDesc& desc, const char* why) {
    std::fprintf(stderr, "tesk: tensor '%s': %s\n", desc.name.c_str(), why);
    return false;
}

}  // namespace

std::string FormatKey(const std::string& tensor) { return "tesk.format." + tensor; }
std::string ChannelsKey(const std::string& tensor) { return "tesk.channels." + tensor; }

bool LogicalDims(std::int32_t format, const std::vector<std::int64_t>& shape, std::int64_t channels, Dims* dims) {
    for (std::int64_t d : shape) {
        if (d <= 0 || d > INT_MAX) return false;
    }
    if (format == kBlocked4) {
        // N x C/4 x H x W x 4, exactly.
        if (shape.size() != 5 || shape[4] != 4) return false;
        const std::int64_t c = channels > 0 ? channels : shape[1] * 4;
        if ((c + 3) / 4 != shape[1]) return false;
        *dims = {shape[0], c, shape[2], shape[3]};
        return true;
    }
    if (shape.size() > 4) return false;
    std::int64_t p[4] = {1, 1, 1, 1};  // lower ranks gain leading ones
    for (std::size_t i = 0; i < shape.size(); ++i) p[4 - shape.size() + i] = shape[i];
    switch (format) {
        case kPlanar: *dims = {p[0], p[1], p[2], p[3]}; return true;
        case kInterleaved: *dims = {p[0], p[3], p[1], p[2]}; return true;
        case kPlanarTransposed: *dims = {p[0], p[1], p[3], p[2]}; return true;
        case kInterleavedPad4: {
            const std::int64_t c = channels > 0 ? channels : p[3];
            if (p[3] % 4 != 0 || (c + 3) / 4 * 4 != p[3]) return false;
            *dims = {p[0], c, p[1], p[2]};
            return true;
        }
        default: return false;
    }
}

bool DescribeTensor(const ort::TypeInfo* info, const MetadataLookup& metadata, TensorDesc* desc) {
    int kind = 0;
    if (!ort::Check(ort::GetOnnxTypeFromTypeInfo(info, &kind), "type of tensor")) return false;
    const ort::TensorInfo* tensor = nullptr;
    if (kind != ort::kKindTensor ||
        !ort::Check(ort::CastTypeInfoToTensorInfo(info, &tensor), "tensor information") || tensor == nullptr) {
        return Refuse(*desc, "not a tensor");
    }
    int element = 0;
    std::size_t rank = 0;
    if (!ort::Check(ort::GetTensorElementType(tensor, &element), "element type") ||
        !ort::Check(ort::GetDimensionsCount(tensor, &rank), "rank")) {
        return false;
    }
    if (!TypeCodeOf(element, &desc->type)) return Refuse(*desc, "element type not supported");
    desc->element = static_cast<ort::ElementType>(element);
    if (rank > 5) return Refuse(*desc, "more than four dimensions");
    desc->shape.assign(rank, 0);
    if (rank > 0 && !ort::Check(ort::GetDimensions(tensor, desc->shape.data(), rank), "dimensions")) return false;

    long format = kPlanar, channels = 0;
    if (!ParseCode(metadata(FormatKey(desc->name)), 0, INT_MAX, &format) || !IsKnownFormat(format)) {
        return Refuse(*desc, "unknown format in the model's metadata");
    }
    if (!ParseCode(metadata(ChannelsKey(desc->name)), 1, INT_MAX, &channels)) {
        return Refuse(*desc, "bad channel count in the model's metadata");
    }
    desc->format = static_cast<std::int32_t>(format);
    if (!LogicalDims(desc->format, desc->shape, channels, &desc->dims)) {
        return Refuse(*desc, "shape is dynamic, of more than four dimensions or does not fit its format");
    }
    const std::int64_t elements = StorageElements(desc->format, desc->dims);
    std::int64_t shapeElements = 1;
    bool overflow = false;
    for (std::int64_t d : desc->shape) overflow |= __builtin_mul_overflow(shapeElements, d, &shapeElements);
    if (elements < 0 || overflow || elements != shapeElements) return Refuse(*desc, "tensor too large");
    desc->bytes = static_cast<std::size_t>(elements) * static_cast<std::size_t>(ElementSize(desc->type));
    return true;
}

}  // namespace tesk
