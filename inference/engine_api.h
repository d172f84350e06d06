// The nine functions of the inference engine library libtesk.seg, which the
// NNX wrapper imports. Handles are opaque 64-bit values; a zero handle means
// failure. Descriptor arrays and output storage belong to the engine.
//
// Data type codes and their element sizes: 0 float32 (4), 1 float16 (2),
// 2 int32 (4), 3 uint32 (4), 4 uint8 (1), 5 int8 (1).
// Format codes: 0 planar (NCHW), 1 interleaved (NHWC); 2, 5 and 7 are layouts
// that TransformDataTypeAndFormat converts (see engine/README.md). The four
// dimensions of a tensor are always its logical sizes N, C, H, W; the format
// says how the elements lie in memory.
#ifndef VIDRA_INFERENCE_ENGINE_API_H
#define VIDRA_INFERENCE_ENGINE_API_H

#include <cstdint>

#if defined(_WIN32)
#  if defined(TESK_BUILDING)
#    define TESK_API __declspec(dllexport)
#  else
#    define TESK_API __declspec(dllimport)
#  endif
#else
#  define TESK_API __attribute__((visibility("default")))
#endif

extern "C" {

enum TeskDataType : int32_t {
    kTeskFloat32 = 0, kTeskFloat16 = 1, kTeskInt32 = 2, kTeskUint32 = 3, kTeskUint8 = 4, kTeskInt8 = 5
};
enum TeskDataFormat : int32_t {
    kTeskPlanar = 0, kTeskInterleaved = 1, kTeskInterleavedPad4 = 2, kTeskBlocked4 = 5, kTeskPlanarTransposed = 7
};

// Loads the model file and writes both handles (zero on failure).
// reserved0 and reserved1 must be 0. runModelType: 0 = compute on the
// caller's thread only; N > 0 = N intra-op threads.
TESK_API int32_t CreateInference(int32_t reserved0, const char* modelFile, int32_t reserved1,
                                 int32_t runModelType, uint64_t* modelHandle, uint64_t* resultHandle);

// Fills the count and the seven engine-owned arrays of the inputs (from the
// model handle) or of the outputs (from the result handle).
TESK_API int32_t CreateInputTensorDesc(uint64_t modelHandle, int32_t* count, char*** names,
                                       int32_t** dim0, int32_t** dim1, int32_t** dim2, int32_t** dim3,
                                       int32_t** dataTypes, int32_t** dataFormats);
TESK_API int32_t CreateOutputTensorDesc(uint64_t resultHandle, int32_t* count, char*** names,
                                        int32_t** dim0, int32_t** dim1, int32_t** dim2, int32_t** dim3,
                                        int32_t** dataTypes, int32_t** dataFormats);

// Runs the model on the caller's input buffers, matched to the model's inputs
// by name; a float16 input may be given as float32 (type 0). Outputs stay in
// engine storage (zero-filled when the run fails). reserved is ignored.
TESK_API int32_t RunModelWithType(uint64_t modelHandle, uint64_t resultHandle, int32_t inputCount,
                                  char** inputNames, const int32_t* inputTypes, void** inputData,
                                  void* reserved);

// Writes into outputData[i] a pointer to output i of the last run.
TESK_API int32_t GetOutputDataFromResultHandle(uint64_t resultHandle, int32_t outputCount,
                                               void** outputData);

// Converts one tensor into the caller's buffer. 0 on success.
TESK_API int32_t TransformDataTypeAndFormat(uint64_t modelHandle,
                                            int32_t srcType, int32_t srcFormat,
                                            int32_t srcDim0, int32_t srcDim1, int32_t srcDim2, int32_t srcDim3,
                                            const void* src,
                                            int32_t dstType, int32_t dstFormat,
                                            int32_t dstDim0, int32_t dstDim1, int32_t dstDim2, int32_t dstDim3,
                                            void* dst);

TESK_API int32_t DestroyModel(uint64_t modelHandle);
TESK_API int32_t FreeResultHandle(uint64_t resultHandle);
TESK_API int32_t FreeTensorDesc(int32_t count, char** names, int32_t* dim0, int32_t* dim1,
                                int32_t* dim2, int32_t* dim3, int32_t* dataTypes, int32_t* dataFormats);

}  // extern "C"

#endif
