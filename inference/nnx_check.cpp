#include "inference/nnx_check.h"

#include <initializer_list>

std::int32_t CheckNnxModel(const NnxModel* model) {
    if (model == nullptr) return -1;
    const bool valid = model->modelHandle != 0 && model->resultHandle != 0 && model->inputCount != 0 &&
                       model->inputNames != nullptr && model->inputDim0 != nullptr && model->inputDim1 != nullptr &&
                       model->inputDim2 != nullptr && model->inputDim3 != nullptr &&
                       model->inputDataTypes != nullptr && model->inputDataFormats != nullptr &&
                       model->inputData != nullptr && model->outputCount != 0 && model->outputNames != nullptr &&
                       model->outputDim0 != nullptr && model->outputDim1 != nullptr &&
                       model->outputDim2 != nullptr && model->outputDim3 != nullptr &&
                       model->outputDataTypes != nullptr && model->outputDataFormats != nullptr &&
                       model->outputData != nullptr;
    return valid ? 0 : -1;
}

std::int64_t NnxElementSize(std::int32_t type) {
    static const std::int64_t kSizes[6] = {4, 2, 4, 4, 1, 1};
    return type >= 0 && type < 6 ? kSizes[type] : 0;
}

std::int64_t NnxStorageElements(std::int32_t format, std::int32_t d0, std::int32_t d1, std::int32_t d2,
                                std::int32_t d3) {
    if (d0 <= 0 || d1 <= 0 || d2 <= 0 || d3 <= 0) return -1;
    std::int64_t channels = d1;
    if (format == 2 || format == 5) {
        channels = (channels + 3) / 4 * 4;
    } else if (format != 0 && format != 1 && format != 7) {
        return -1;
    }
    // Four factors below 2^31 can overflow 64 bits: check each step.
    constexpr std::int64_t kBound = std::int64_t{1} << 58;
    std::int64_t count = std::int64_t{d0} * channels;
    for (const std::int64_t d : {std::int64_t{d2}, std::int64_t{d3}}) {
        if (count > kBound / d) return -1;
        count *= d;
    }
    return count;
}

std::int64_t NnxInputBytes(const NnxModel& model, std::int32_t i) {
    const std::int32_t type = model.inputDataTypes[i] == 1 ? 0 : model.inputDataTypes[i];
    const std::int64_t elements = NnxStorageElements(model.inputDataFormats[i], model.inputDim0[i],
                                                     model.inputDim1[i], model.inputDim2[i], model.inputDim3[i]);
    const std::int64_t size = NnxElementSize(type);
    return elements < 0 || size == 0 ? -1 : elements * size;
}
