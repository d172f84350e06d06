#include "inference/nnx_check.h"

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
