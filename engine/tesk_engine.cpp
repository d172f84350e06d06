// The nine exported functions of libtesk.seg. Each checks its arguments and
// handles against the live objects, then hands over to the engine's parts;
// nothing thrown inside crosses the C boundary.
#include <cstdio>
#include <memory>
#include <new>

#include "engine/engine_objects.h"
#include "engine/handle_registry.h"
#include "engine/model_loader.h"
#include "engine/model_run.h"
#include "engine/type_format.h"
#include "inference/engine_api.h"

using tesk::DescBlock;
using tesk::Model;
using tesk::Result;

namespace {

tesk::Registry<std::uint64_t, Model>& Models() { return tesk::RegistryOf<std::uint64_t, Model>(); }
tesk::Registry<std::uint64_t, Result>& Results() { return tesk::RegistryOf<std::uint64_t, Result>(); }
tesk::Registry<char**, DescBlock>& Descs() { return tesk::RegistryOf<char**, DescBlock>(); }

// Runs body, turning any exception (out of memory) into failure.
template <typename Body>
std::int32_t Guarded(const char* what, Body body) {
    try {
        return body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesk: %s: %s\n", what, e.what());
    } catch (...) {
        std::fprintf(stderr, "tesk: %s failed\n", what);
    }
    return -1;
}

bool AllOut(std::int32_t* count, char*** names, std::int32_t** d0, std::int32_t** d1, std::int32_t** d2,
            std::int32_t** d3, std::int32_t** types, std::int32_t** formats) {
    return count && names && d0 && d1 && d2 && d3 && types && formats;
}

std::int32_t HandOut(const std::vector<tesk::TensorDesc>& tensors, std::int32_t* count, char*** names,
                     std::int32_t** d0, std::int32_t** d1, std::int32_t** d2, std::int32_t** d3,
                     std::int32_t** types, std::int32_t** formats) {
    std::unique_ptr<DescBlock> block = tesk::MakeDescBlock(tensors);
    *count = static_cast<std::int32_t>(tensors.size());
    *names = block->names.data();
    *d0 = block->dim0.data();
    *d1 = block->dim1.data();
    *d2 = block->dim2.data();
    *d3 = block->dim3.data();
    *types = block->types.data();
    *formats = block->formats.data();
    Descs().Add(*names, std::move(block));
    return 0;
}

void ClearOut(std::int32_t* count, char*** names, std::int32_t** d0, std::int32_t** d1, std::int32_t** d2,
              std::int32_t** d3, std::int32_t** types, std::int32_t** formats) {
    if (count) *count = 0;
    if (names) *names = nullptr;
    for (std::int32_t** p : {d0, d1, d2, d3, types, formats}) {
        if (p) *p = nullptr;
    }
}

}  // namespace

extern "C" {

TESK_API std::int32_t CreateInference(std::int32_t reserved0, const char* modelFile, std::int32_t reserved1,
                                      std::int32_t runModelType, std::uint64_t* modelHandle,
                                      std::uint64_t* resultHandle) {
    if (modelHandle) *modelHandle = 0;
    if (resultHandle) *resultHandle = 0;
    if (!modelHandle || !resultHandle || !modelFile || reserved0 != 0 || reserved1 != 0) return -1;
    return Guarded("CreateInference", [&]() -> std::int32_t {
        if (ort::Table() == nullptr) return -1;
        std::unique_ptr<Model> model;
        std::unique_ptr<Result> result;
        if (!tesk::LoadModel(modelFile, runModelType, &model, &result)) return -1;
        const std::uint64_t mh = tesk::NextHandle();
        const std::uint64_t rh = tesk::NextHandle();
        model->resultHandle = rh;
        result->modelHandle = mh;
        Models().Add(mh, std::move(model));
        Results().Add(rh, std::move(result));
        *modelHandle = mh;
        *resultHandle = rh;
        return 0;
    });
}

TESK_API std::int32_t CreateInputTensorDesc(std::uint64_t modelHandle, std::int32_t* count, char*** names,
                                            std::int32_t** dim0, std::int32_t** dim1, std::int32_t** dim2,
                                            std::int32_t** dim3, std::int32_t** dataTypes,
                                            std::int32_t** dataFormats) {
    ClearOut(count, names, dim0, dim1, dim2, dim3, dataTypes, dataFormats);
    if (!AllOut(count, names, dim0, dim1, dim2, dim3, dataTypes, dataFormats)) return -1;
    return Guarded("CreateInputTensorDesc", [&]() -> std::int32_t {
        const Model* model = Models().Find(modelHandle);
        if (model == nullptr) return -1;
        return HandOut(model->inputs, count, names, dim0, dim1, dim2, dim3, dataTypes, dataFormats);
    });
}

TESK_API std::int32_t CreateOutputTensorDesc(std::uint64_t resultHandle, std::int32_t* count, char*** names,
                                             std::int32_t** dim0, std::int32_t** dim1, std::int32_t** dim2,
                                             std::int32_t** dim3, std::int32_t** dataTypes,
                                             std::int32_t** dataFormats) {
    ClearOut(count, names, dim0, dim1, dim2, dim3, dataTypes, dataFormats);
    if (!AllOut(count, names, dim0, dim1, dim2, dim3, dataTypes, dataFormats)) return -1;
    return Guarded("CreateOutputTensorDesc", [&]() -> std::int32_t {
        const Result* result = Results().Find(resultHandle);
        if (result == nullptr) return -1;
        return HandOut(result->outputs, count, names, dim0, dim1, dim2, dim3, dataTypes, dataFormats);
    });
}

TESK_API std::int32_t RunModelWithType(std::uint64_t modelHandle, std::uint64_t resultHandle,
                                       std::int32_t inputCount, char** inputNames, const std::int32_t* inputTypes,
                                       void** inputData, void* /*reserved*/) {
    return Guarded("RunModelWithType", [&]() -> std::int32_t {
        Model* model = Models().Find(modelHandle);
        Result* result = Results().Find(resultHandle);
        if (model == nullptr || result == nullptr || model->resultHandle != resultHandle) return -1;
        return tesk::RunModel(*model, *result, inputCount, inputNames, inputTypes, inputData);
    });
}

TESK_API std::int32_t GetOutputDataFromResultHandle(std::uint64_t resultHandle, std::int32_t outputCount,
                                                    void** outputData) {
    const Result* result = Results().Find(resultHandle);
    if (result == nullptr || outputData == nullptr || outputCount < 0 ||
        static_cast<std::size_t>(outputCount) != result->storage.size()) {
        return -1;
    }
    for (std::int32_t i = 0; i < outputCount; ++i) outputData[i] = result->storage[i].data();
    return 0;
}

TESK_API std::int32_t TransformDataTypeAndFormat(std::uint64_t modelHandle, std::int32_t srcType,
                                                 std::int32_t srcFormat, std::int32_t srcDim0, std::int32_t srcDim1,
                                                 std::int32_t srcDim2, std::int32_t srcDim3, const void* src,
                                                 std::int32_t dstType, std::int32_t dstFormat, std::int32_t dstDim0,
                                                 std::int32_t dstDim1, std::int32_t dstDim2, std::int32_t dstDim3,
                                                 void* dst) {
    // The conversion needs no model; a handle given must still be live.
    if (modelHandle != 0 && Models().Find(modelHandle) == nullptr) return -1;
    // Dimensions are the logical N, C, H, W on both sides; the layout changes, the sizes do not.
    if (srcDim0 != dstDim0 || srcDim1 != dstDim1 || srcDim2 != dstDim2 || srcDim3 != dstDim3) return -1;
    return tesk::TransformTensor(srcType, srcFormat, {srcDim0, srcDim1, srcDim2, srcDim3}, src, dstType, dstFormat,
                                 dst);
}

TESK_API std::int32_t DestroyModel(std::uint64_t modelHandle) {
    return Guarded("DestroyModel", [&]() -> std::int32_t { return Models().Take(modelHandle) ? 0 : -1; });
}

TESK_API std::int32_t FreeResultHandle(std::uint64_t resultHandle) {
    return Guarded("FreeResultHandle", [&]() -> std::int32_t { return Results().Take(resultHandle) ? 0 : -1; });
}

TESK_API std::int32_t FreeTensorDesc(std::int32_t count, char** names, std::int32_t* dim0, std::int32_t* dim1,
                                     std::int32_t* dim2, std::int32_t* dim3, std::int32_t* dataTypes,
                                     std::int32_t* dataFormats) {
    return Guarded("FreeTensorDesc", [&]() -> std::int32_t {
        DescBlock* block = Descs().Find(names);
        // Only the arrays handed out together, with their count, are freed.
        if (block == nullptr || count < 0 || static_cast<std::size_t>(count) != block->names.size() ||
            dim0 != block->dim0.data() || dim1 != block->dim1.data() || dim2 != block->dim2.data() ||
            dim3 != block->dim3.data() || dataTypes != block->types.data() || dataFormats != block->formats.data()) {
            return -1;
        }
        Descs().Take(names);
        return 0;
    });
}

}  // extern "C"
