// The algorithm parameter record and the limits this library accepts.
#ifndef VIDRA_SEGMENTER_SEG_PARAMS_H
#define VIDRA_SEGMENTER_SEG_PARAMS_H

#include <cstddef>

#include "vidra.h"

// Network input geometry that every record must give: the frame driver always
// resizes frames to 288 x 160 into a buffer sized for that.
constexpr int kNetInputWidth = 288;
constexpr int kNetInputHeight = 160;
constexpr int kNetInputChannels = 3;

// Largest runModelType (engine threads): the engine refuses more.
constexpr int kMaxRunModelType = 64;

// Largest total of the buffers a parameter record sizes (mask planes, the
// smoothing history, the network input and output); the frame-sized last mask
// comes on top, at most 512 MiB by the frame size check.
constexpr long long kMaxParamsBufferBytes = 1LL << 30;

// Size of the connected-component filter's fixed label plane.
constexpr int kComponentPlaneWidth = 288;
constexpr int kComponentPlaneHeight = 160;

// The parameter record with the constructor's defaults: kSegParams144x80
// without a model name (the folder is then searched).
SegParams DefaultSegParams();

// True when the flag's byte is non-zero. A host may put any byte in a flag;
// reading it as a bool would be undefined for values other than 0 and 1.
bool FlagSet(const bool& flag);

// Copies fields one by one and the model name up to its first NUL (at most
// capacity - 1 characters, always terminated).
void CopySegParams(SegParams& to, const SegParams& from);

// Checks a record against what the buffers and stages can hold. Returns
// nullptr when it is usable, else a short reason for the log.
const char* SegParamsProblem(const SegParams& params);

// Checks a frame size: both sides at least 2 and 4 * width * height within
// 32-bit signed range. Returns nullptr when it is usable, else a reason.
const char* FrameSizeProblem(int width, int height);

#endif
