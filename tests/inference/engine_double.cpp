#include "engine_double.h"

#include <cstring>

namespace {

DoubleState g_state;
char g_names[2][kDoubleMaxTensors][8] = {{"in0", "in1", "in2", "in3"}, {"out0", "out1", "out2", "out3"}};

template <typename... Args>
void Record(const char* name, Args... args) {
    if (g_state.callCount >= kDoubleMaxCalls) return;
    DoubleCall& call = g_state.calls[g_state.callCount++];
    std::strncpy(call.name, name, sizeof call.name - 1);
    const std::int64_t values[] = {(std::int64_t)(args)...};
    call.argCount = static_cast<int>(sizeof...(args));
    for (int i = 0; i < call.argCount; ++i) call.args[i] = values[i];
}

std::int64_t P(const void* p) { return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(p)); }

void HandOut(std::int32_t count, const DoubleTensor* tensors, DoubleArrays& a, char (*names)[8], std::int32_t* c,
             char*** n, std::int32_t** d0, std::int32_t** d1, std::int32_t** d2, std::int32_t** d3,
             std::int32_t** t, std::int32_t** f) {
    for (int i = 0; i < kDoubleMaxTensors; ++i) {
        a.names[i] = names[i];
        a.d0[i] = tensors[i].d0;
        a.d1[i] = tensors[i].d1;
        a.d2[i] = tensors[i].d2;
        a.d3[i] = tensors[i].d3;
        a.types[i] = tensors[i].type;
        a.formats[i] = tensors[i].format;
    }
    *c = count;
    *n = a.names;
    *d0 = a.d0;
    *d1 = a.d1;
    *d2 = a.d2;
    *d3 = a.d3;
    *t = a.types;
    *f = g_state.nullFormatArrays ? nullptr : a.formats;
}

}  // namespace

extern "C" {

TESK_API DoubleState* DoubleGetState() { return &g_state; }

TESK_API void DoubleReset() {
    std::memset(&g_state, 0, sizeof g_state);
    g_state.modelHandle = 0x1111;
    g_state.resultHandle = 0x2222;
    g_state.inputCount = 1;
    g_state.outputCount = 1;
    g_state.inputs[0] = {1, 3, 160, 288, 0, 0};
    g_state.outputs[0] = {1, 2, 80, 144, 0, 0};
    g_state.writeOutputPointers = true;
}

TESK_API std::int32_t CreateInference(std::int32_t reserved0, const char* modelFile, std::int32_t reserved1,
                                      std::int32_t runModelType, std::uint64_t* modelHandle,
                                      std::uint64_t* resultHandle) {
    Record("CreateInference", reserved0, P(modelFile), reserved1, runModelType, P(modelHandle), P(resultHandle));
    *modelHandle = g_state.modelHandle;
    *resultHandle = g_state.resultHandle;
    return 0;
}

TESK_API std::int32_t CreateInputTensorDesc(std::uint64_t modelHandle, std::int32_t* count, char*** names,
                                            std::int32_t** dim0, std::int32_t** dim1, std::int32_t** dim2,
                                            std::int32_t** dim3, std::int32_t** dataTypes,
                                            std::int32_t** dataFormats) {
    Record("CreateInputTensorDesc", modelHandle, P(count), P(names), P(dim0), P(dim1), P(dim2), P(dim3),
           P(dataTypes), P(dataFormats));
    HandOut(g_state.inputCount, g_state.inputs, g_state.in, g_names[0], count, names, dim0, dim1, dim2, dim3,
            dataTypes, dataFormats);
    return 0;
}

TESK_API std::int32_t CreateOutputTensorDesc(std::uint64_t resultHandle, std::int32_t* count, char*** names,
                                             std::int32_t** dim0, std::int32_t** dim1, std::int32_t** dim2,
                                             std::int32_t** dim3, std::int32_t** dataTypes,
                                             std::int32_t** dataFormats) {
    Record("CreateOutputTensorDesc", resultHandle, P(count), P(names), P(dim0), P(dim1), P(dim2), P(dim3),
           P(dataTypes), P(dataFormats));
    HandOut(g_state.outputCount, g_state.outputs, g_state.out, g_names[1], count, names, dim0, dim1, dim2, dim3,
            dataTypes, dataFormats);
    return 0;
}

TESK_API std::int32_t RunModelWithType(std::uint64_t modelHandle, std::uint64_t resultHandle,
                                       std::int32_t inputCount, char** inputNames, const std::int32_t* inputTypes,
                                       void** inputData, void* reserved) {
    Record("RunModelWithType", modelHandle, resultHandle, inputCount, P(inputNames), P(inputTypes), P(inputData),
           P(reserved));
    for (int i = 0; i < inputCount && i < kDoubleMaxTensors; ++i) {
        g_state.lastRunTypes[i] = inputTypes[i];
        g_state.lastRunData[i] = inputData[i];
    }
    ++g_state.runs;
    for (int i = 0; i < kDoubleMaxTensors; ++i)
        for (int k = 0; k < kDoubleStorageBytes; ++k)
            g_state.storage[i][k] = static_cast<unsigned char>(k * 13 + i * 7 + g_state.runs);
    return 0;
}

TESK_API std::int32_t GetOutputDataFromResultHandle(std::uint64_t resultHandle, std::int32_t outputCount,
                                                    void** outputData) {
    Record("GetOutputDataFromResultHandle", resultHandle, outputCount, P(outputData));
    if (g_state.writeOutputPointers) {
        for (int i = 0; i < outputCount && i < kDoubleMaxTensors; ++i) outputData[i] = g_state.storage[i];
    }
    return 0;
}

TESK_API std::int32_t TransformDataTypeAndFormat(std::uint64_t modelHandle, std::int32_t srcType,
                                                 std::int32_t srcFormat, std::int32_t srcDim0, std::int32_t srcDim1,
                                                 std::int32_t srcDim2, std::int32_t srcDim3, const void* src,
                                                 std::int32_t dstType, std::int32_t dstFormat, std::int32_t dstDim0,
                                                 std::int32_t dstDim1, std::int32_t dstDim2, std::int32_t dstDim3,
                                                 void* dst) {
    Record("TransformDataTypeAndFormat", modelHandle, srcType, srcFormat, srcDim0, srcDim1, srcDim2, srcDim3, P(src),
           dstType, dstFormat, dstDim0, dstDim1, dstDim2, dstDim3, P(dst));
    const int n = g_state.transforms++;
    const std::int32_t result = n < kDoubleMaxTensors ? g_state.transformResults[n] : 0;
    if (result == 0) {
        const std::int64_t size = dstType == 1 ? 2 : (dstType == 4 || dstType == 5) ? 1 : 4;
        std::memset(dst, 0x5a, static_cast<std::size_t>(size * dstDim0 * dstDim1 * dstDim2 * dstDim3));
    }
    return result;
}

TESK_API std::int32_t FreeResultHandle(std::uint64_t resultHandle) {
    Record("FreeResultHandle", resultHandle);
    return 0;
}

TESK_API std::int32_t FreeTensorDesc(std::int32_t count, char** names, std::int32_t* dim0, std::int32_t* dim1,
                                     std::int32_t* dim2, std::int32_t* dim3, std::int32_t* dataTypes,
                                     std::int32_t* dataFormats) {
    Record("FreeTensorDesc", count, P(names), P(dim0), P(dim1), P(dim2), P(dim3), P(dataTypes), P(dataFormats));
    return 0;
}

TESK_API std::int32_t DestroyModel(std::uint64_t modelHandle) {
    Record("DestroyModel", modelHandle);
    return 0;
}

}  // extern "C"
