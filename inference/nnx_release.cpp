// NNXRelease: gives the engine's handles and descriptor arrays back and frees
// the record's own pointer arrays. Counts and array pointers keep their
// values; the zeroed model handle makes the record invalid from then on.
#include <cstdlib>

#include "inference/engine_api.h"
#include "inference/nnx_check.h"

extern "C" VIDRA_API int32_t NNXRelease(NnxModel* model) {
    if (CheckNnxModel(model) != 0) return -1;
    if (model->modelHandle != 0) {
        DestroyModel(model->modelHandle);
        model->modelHandle = 0;
    }
    if (model->resultHandle != 0) {
        FreeResultHandle(model->resultHandle);
        model->resultHandle = 0;
    }
    if (model->inputCount > 0) {
        FreeTensorDesc(model->inputCount, model->inputNames, model->inputDim0, model->inputDim1, model->inputDim2,
                       model->inputDim3, model->inputDataTypes, model->inputDataFormats);
    }
    if (model->outputCount > 0) {
        FreeTensorDesc(model->outputCount, model->outputNames, model->outputDim0, model->outputDim1,
                       model->outputDim2, model->outputDim3, model->outputDataTypes, model->outputDataFormats);
    }
    std::free(model->inputData);
    model->inputData = nullptr;
    std::free(model->outputData);
    model->outputData = nullptr;
    return 0;
}
