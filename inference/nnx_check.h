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

#endif
