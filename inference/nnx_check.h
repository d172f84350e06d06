// Internals shared by the NNX functions: the record's validity test and the
// element sizes of the engine's data type codes.
#ifndef VIDRA_INFERENCE_NNX_CHECK_H
#define VIDRA_INFERENCE_NNX_CHECK_H

#include <cstdint>

#include "vidra.h"

// 0 when model is non-null and all twenty fields are nonzero (counts of
// either sign count), -1 otherwise.
std::int32_t CheckNnxModel(const NnxModel* model);

// Bytes per element of data type codes 0..5 (4, 2, 4, 4, 1, 1); 0 for any
// other code.
std::int64_t NnxElementSize(std::int32_t type);

// Elements a tensor of logical dimensions N, C, H, W occupies in memory in a
// format, padding lanes included: formats 2 and 5 store C rounded up to a
// multiple of 4, formats 0, 1 and 7 store C. -1 for another format,
// non-positive dimensions or more than 2^58 elements.
std::int64_t NnxStorageElements(std::int32_t format, std::int32_t d0, std::int32_t d1, std::int32_t d2,
                                std::int32_t d3);

// Bytes the engine reads from the caller's buffer for input i of a prepared
// record: its storage in its type, float32 for a float16 input (which is fed
// as float32). -1 when it cannot be known.
std::int64_t NnxInputBytes(const NnxModel& model, std::int32_t i);

#endif
