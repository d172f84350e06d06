// A stand-in for libtesk.seg with the same exports: it hands out what the test
// sets and records every call, so the NNX functions' engine calls can be
// checked without running a network.
#ifndef VIDRA_TESTS_INFERENCE_ENGINE_DOUBLE_H
#define VIDRA_TESTS_INFERENCE_ENGINE_DOUBLE_H

#include <cstdint>

#include "inference/engine_api.h"

constexpr int kDoubleMax = 4;         // tensors per direction
constexpr int kDoubleBytes = 100000;  // storage per output

struct DoubleTensor { std::int32_t d0, d1, d2, d3, type, format; };
struct DoubleCall { char name[40]; std::int64_t args[16]; };  // pointers as integers

// Set by the test: what the engine hands out (DoubleReset: handles 0x1111 and
// 0x2222, one 1x3x160x288 input and one 1x2x80x144 output, float32 planar).
// Each run writes a new pattern over storage; a conversion fills its
// destination's bytes with 0x5a.
struct DoubleState {
    std::uint64_t modelHandle, resultHandle;
    std::int32_t inputCount, outputCount;
    DoubleTensor inputs[kDoubleMax], outputs[kDoubleMax];
    unsigned char storage[kDoubleMax][kDoubleBytes];
    std::int32_t runTypes[kDoubleMax];  // the last run's input types and data
    void* runData[kDoubleMax];
    int callCount;
    DoubleCall calls[64];
};

extern "C" TESK_API DoubleState* DoubleGetState();
extern "C" TESK_API void DoubleReset();

#endif
