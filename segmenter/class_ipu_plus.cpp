#include "segmenter/class_ipu_plus.h"

#include <cstdlib>
#include <new>
#include <utility>

#include "common/log.h"
#include "inference/nnx_check.h"

namespace {

// Replaces a buffer by a fresh zero-filled array of `count` elements: the new
// array is allocated before the old one is freed. On failure the member ends
// up absent (null) and false is returned.
template <typename T>
bool ReplaceBuffer(T*& member, int64_t count) {
    T* fresh = count > 0 ? new (std::nothrow) T[static_cast<size_t>(count)]() : nullptr;
    delete[] member;
    member = fresh;
    return fresh != nullptr;
}

bool IsFloatType(int32_t type) { return type == 0 || type == 1; }  // float16 arrives as float32

// Tensor i has logical dimensions 1, c, h, w.
bool HasDims(const int32_t* d0, const int32_t* d1, const int32_t* d2, const int32_t* d3, int i, int32_t c,
             int32_t h, int32_t w) {
    return d0[i] == 1 && d1[i] == c && d2[i] == h && d3[i] == w;
}

template <typename T>
void FreeBuffer(T*& member) {
    delete[] member;
    member = nullptr;
}

}  // namespace

namespace ipu {

ClassIPUPlus::ClassIPUPlus() = default;

ClassIPUPlus::~ClassIPUPlus() {
    DestroyIPU();
    FreeBuffer(m_postPlanes);
    FreeBuffer(m_smoothHistory);
    FreeBuffer(m_maskBytes);
    FreeBuffer(m_inputTensor);
    FreeBuffer(m_outputTensor);
    FreeBuffer(m_lumaImage);
    FreeBuffer(m_keyframe8x);
    FreeBuffer(m_keyframeMask);
    FreeBuffer(m_blurPlane);
    // The base destructors release m_labels and then m_resizedFrame.
}

void ClassIPUPlus::UseParams(const SegParams& params) {
    CopySegParams(m_params, params);
    m_inputHeight = m_params.inputHeight;
    m_inputChannels = m_params.inputChannels;
    m_inputWidth = m_params.inputWidth;
    m_inputSize = m_params.inputHeight * m_params.inputWidth * m_params.inputChannels;
}

int32_t ClassIPUPlus::InitIPU(int32_t width, int32_t height, int32_t frameType,
                              std::string modelPath) {
    m_width = width;
    m_height = height;
    m_frameType = frameType;
    m_buffersReady = false;
    if (!ReplaceBuffer(m_resizedFrame, int64_t{m_rgbaStep} * kNetInputWidth * kNetInputHeight) ||
        AllocateBuffers() != 0) {
        LogPrintf("ModelInit: init memoery error\n");
        return -1;
    }
    m_buffersReady = true;
    m_smoothReady = 0;
    m_smoothIndex = 0;
    m_modelRefused = false;
    LogPrintf("ModelInit:Start Model Init\n");
    int32_t status;
    try {
        status = LoadModel(std::move(modelPath));
    } catch (const std::bad_alloc&) {
        // The path strings and the folder search; the record stays unprepared,
        // as after any failed preparation.
        LogPrintf("ModelInit: out of memory while locating the model\n");
        return -1;
    }
    if (status == 0 && !ModelFitsBuffers()) {
        // A run would read or write past the buffers. The record stays
        // prepared, so that VidraDestroy releases it (once); frames skip the
        // network meanwhile.
        LogPrintf("ModelInit: model tensors do not match the parameters\n");
        m_modelRefused = true;
        return -1;
    }
    return status;
}

bool ClassIPUPlus::ModelFitsBuffers() const {
    const NnxModel& m = *m_nnxModel;
    if (m.inputCount != 1 || m.outputCount != 1) return false;
    // The engine reads the input in the model's own layout, padding lanes
    // included, straight from m_inputTensor: only the planar layout of the
    // planes written there is read correctly and within the buffer.
    const bool input = IsFloatType(m.inputDataTypes[0]) && m.inputDataFormats[0] == 0 &&
                       HasDims(m.inputDim0, m.inputDim1, m.inputDim2, m.inputDim3, 0, m_inputChannels,
                               m_inputHeight, m_inputWidth) &&
                       NnxInputBytes(m, 0) == int64_t{m_inputSize} * 4;
    // The output arrives as planar float32: copied when planar (format 0),
    // converted from the padded and column-stored layouts (2, 5, 7). An
    // interleaved output (1) would be copied as it is and read wrongly.
    const int32_t format = m.outputDataFormats[0];
    const bool output = IsFloatType(m.outputDataTypes[0]) &&
                        (format == 0 || format == 2 || format == 5 || format == 7) &&
                        HasDims(m.outputDim0, m.outputDim1, m.outputDim2, m.outputDim3, 0, m_params.outputChannels,
                                m_params.outputHeight, m_params.outputWidth);
    return input && output;
}

int32_t ClassIPUPlus::AllocateBuffers() {
    // Creation has checked that each count below fits a 32-bit signed value.
    m_inputSize = m_inputWidth * m_inputHeight * m_inputChannels;

    // A fresh record; the previous one is not released in the engine (the host
    // destroys before creating again).
    auto* record = static_cast<NnxModel*>(std::calloc(1, sizeof(NnxModel)));
    std::free(m_nnxModel);
    m_nnxModel = record;
    if (m_nnxModel == nullptr) return -1;

    const int64_t maskPixels = int64_t{m_params.maskWidth} * m_params.maskHeight;
    const int64_t outputPlanes = int64_t{m_params.outputChannels} * maskPixels;
    if (!ReplaceBuffer(m_smoothHistory, m_smoothLength * maskPixels)) return -1;
    if (!ReplaceBuffer(m_postPlanes, outputPlanes)) return -1;
    if (!ReplaceBuffer(m_maskBytes, maskPixels)) return -1;
    if (!ReplaceBuffer(m_inputTensor, int64_t{m_inputSize})) return -1;
    if (!ReplaceBuffer(m_outputTensor, outputPlanes)) return -1;
    if (!ReplaceBuffer(m_keyframe8x, int64_t{m_keyframeWidth} * m_keyframeHeight)) return -1;
    if (!ReplaceBuffer(m_keyframeMask, int64_t{m_width} * m_height)) return -1;
    if (!ReplaceBuffer(m_lumaImage, int64_t{m_inputWidth} * m_inputHeight)) return -1;
    if (m_params.outputChannels == 1) {
        if (!ReplaceBuffer(m_blurPlane, maskPixels)) return -1;
    } else {
        FreeBuffer(m_blurPlane);
    }
    return 0;
}

int32_t ClassIPUPlus::DestroyIPU() {
    LogPrintf("Start DestroyIPU:NNXRelease() \n");
    int32_t status = 0;
    if (m_nnxModel != nullptr) {
        LogPrintf("release m_nnxModel start\n");
        status = NNXRelease(m_nnxModel);
        std::free(m_nnxModel);
        m_nnxModel = nullptr;
    }
    LogPrintf("End DestroyIPU:NNXRelease() \n");
    return status;
}

}  // namespace ipu
