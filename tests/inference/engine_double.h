// A stand-in for libtesk.seg with the same nine exports: it does what the
// test configures and records every call, so the NNX functions can be
// checked against the engine interface without running a network.
#ifndef VIDRA_TESTS_INFERENCE_ENGINE_DOUBLE_H
#define VIDRA_TESTS_INFERENCE_ENGINE_DOUBLE_H

#include <cstdint>

#include "inference/engine_api.h"

constexpr int kDoubleMaxTensors = 4;
constexpr int kDoubleMaxCalls = 64;
constexpr int kDoubleStorageBytes = 100000;

struct DoubleTensor {
    std::int32_t d0, d1, d2, d3, type, format;
};

// The seven arrays of one direction as the double hands them out.
struct DoubleArrays {
    char* names[kDoubleMaxTensors];
    std::int32_t d0[kDoubleMaxTensors], d1[kDoubleMaxTensors], d2[kDoubleMaxTensors], d3[kDoubleMaxTensors];
    std::int32_t types[kDoubleMaxTensors], formats[kDoubleMaxTensors];
};

// One call: the function's name and its arguments in order, pointers as
// integers.
struct DoubleCall {
    char name[40];
    int argCount;
    std::int64_t args[16];
};

struct DoubleState {
    // Behaviour, set by the test (DoubleReset gives a 1x3x160x288 input and a
    // 1x2x80x144 output, both float32 planar).
    std::uint64_t modelHandle, resultHandle;  // what CreateInference writes
    std::int32_t inputCount, outputCount;     // what the descriptor calls write
    DoubleTensor inputs[kDoubleMaxTensors], outputs[kDoubleMaxTensors];
    bool nullFormatArrays;      // hand out null format arrays
    bool writeOutputPointers;   // GetOutputDataFromResultHandle fills the slots
    std::int32_t transformResults[kDoubleMaxTensors];  // returned by the n-th conversion

    // What the double computes: each run fills storage[i] with a new pattern;
    // a conversion writes 0x5a over the destination's bytes.
    unsigned char storage[kDoubleMaxTensors][kDoubleStorageBytes];
    DoubleArrays in, out;
    int runs, transforms;
    std::int32_t lastRunTypes[kDoubleMaxTensors];  // copies taken during the run
    void* lastRunData[kDoubleMaxTensors];

    int callCount;
    DoubleCall calls[kDoubleMaxCalls];
};

extern "C" TESK_API DoubleState* DoubleGetState();
extern "C" TESK_API void DoubleReset();

#endif
