// NNXRun / NNXRunPlus: one engine run from the caller's input buffers, every
// output delivered into the caller's buffers, copied or converted to planar.
//
// Beyond the record's own checks, NNXRunPlus refuses with -1:
// - a list entry with a null data pointer (before the engine runs);
// - an input buffer whose size is below what the engine reads from it: the
//   tensor's storage in its layout, padding lanes included, at 4 bytes per
//   element for float16 inputs (fed as float32); also before the engine runs;
// - an output whose type code has no element size (outside 0..5), on either path;
// - on the conversion path, a buffer smaller than the element count times the
//   destination's element size, as on the copy path;
// - an output for which the engine handed out no data pointer.
// A negative element count (a 32-bit product that wrapped) counts as too large.
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "inference/engine_api.h"
#include "inference/nnx_check.h"

namespace {

// Largest signed 32-bit value: the capacity NNXRun states for its buffers.
constexpr std::uint64_t kUnboundedSize = 2147483647u;

// The element count as a 32-bit signed product (wrapping like the machine
// does), then widened.
std::int64_t ElementCount(std::int32_t d0, std::int32_t d1, std::int32_t d2, std::int32_t d3) {
    const std::uint32_t product = static_cast<std::uint32_t>(d0) * static_cast<std::uint32_t>(d1) *
                                  static_cast<std::uint32_t>(d2) * static_cast<std::uint32_t>(d3);
    return static_cast<std::int64_t>(static_cast<std::int32_t>(product));
}

bool NeedsConversion(std::int32_t type, std::int32_t format) {
    return format == 2 || format == 5 || format == 7 || type == 1;
}

// Delivers output i into entry; false stops the run with -1.
bool DeliverOutput(const NnxModel& m, std::int32_t i, const NnxBuffer& entry) {
    const std::int32_t t = m.outputDataTypes[i], f = m.outputDataFormats[i];
    const std::int32_t d0 = m.outputDim0[i], d1 = m.outputDim1[i], d2 = m.outputDim2[i], d3 = m.outputDim3[i];
    const void* source = m.outputData[i];
    if (source == nullptr) return false;
    const std::int32_t destinationType = t == 1 ? 0 : t;
    const std::int64_t elementSize = NnxElementSize(NeedsConversion(t, f) ? destinationType : t);
    if (elementSize == 0) return false;
    const std::uint64_t bytes = static_cast<std::uint64_t>(ElementCount(d0, d1, d2, d3) * elementSize);
    if (bytes > entry.size) return false;
    if (NeedsConversion(t, f)) {
        return TransformDataTypeAndFormat(m.modelHandle, t, f, d0, d1, d2, d3, source, destinationType, 0, d0, d1,
                                          d2, d3, entry.data) == 0;
    }
    std::memcpy(entry.data, source, static_cast<std::size_t>(bytes));
    return true;
}

// True when each input buffer holds all the engine will read from it.
bool InputsFit(const NnxModel& m, const std::vector<NnxBuffer>& inputs) {
    for (std::int32_t i = 0; i < m.inputCount; ++i) {
        const std::int64_t bytes = NnxInputBytes(m, i);
        if (bytes < 0 || static_cast<std::uint64_t>(bytes) > inputs[i].size) return false;
    }
    return true;
}

bool HasNullData(const std::vector<NnxBuffer>& list) {
    for (const NnxBuffer& b : list) {
        if (b.data == nullptr) return true;
    }
    return false;
}

}  // namespace

extern "C" VIDRA_API int32_t NNXRunPlus(NnxModel* model, std::vector<NnxBuffer> inputs,
                                        std::vector<NnxBuffer> outputs) {
    if (CheckNnxModel(model) != 0) return -1;
    NnxModel& m = *model;
    if (static_cast<std::int64_t>(inputs.size()) != m.inputCount ||
        static_cast<std::int64_t>(outputs.size()) != m.outputCount) {
        return -1;
    }
    if (HasNullData(inputs) || HasNullData(outputs) || !InputsFit(m, inputs)) return -1;
    try {
        // Float16 inputs are supplied as float32, which the engine narrows.
        std::vector<std::int32_t> types(static_cast<std::size_t>(m.inputCount), 0);
        for (std::int32_t i = 0; i < m.inputCount; ++i) {
            types[i] = m.inputDataTypes[i] == 1 ? 0 : m.inputDataTypes[i];
            m.inputData[i] = inputs[i].data;
        }
        RunModelWithType(m.modelHandle, m.resultHandle, m.inputCount, m.inputNames, types.data(), m.inputData,
                         nullptr);
    } catch (...) {
        return -1;
    }
    // Cleared first, so an engine that hands out no pointer is noticed.
    for (std::int32_t i = 0; i < m.outputCount; ++i) m.outputData[i] = nullptr;
    GetOutputDataFromResultHandle(m.resultHandle, m.outputCount, m.outputData);
    for (std::int32_t i = 0; i < m.outputCount; ++i) {
        if (!DeliverOutput(m, i, outputs[i])) return -1;
    }
    return 0;
}

extern "C" VIDRA_API int32_t NNXRun(NnxModel* model, void* input, void* output) {
    if (input == nullptr || output == nullptr) return -1;
    try {
        return NNXRunPlus(model, {NnxBuffer{input, kUnboundedSize}}, {NnxBuffer{output, kUnboundedSize}});
    } catch (...) {
        return -1;
    }
}
