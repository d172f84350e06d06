// One inference run of a model into its result's storage.
#ifndef TESK_ENGINE_MODEL_RUN_H
#define TESK_ENGINE_MODEL_RUN_H

#include <cstdint>

#include "engine/engine_objects.h"

namespace tesk {

// Runs model on the caller's inputs, given by name, type code and data
// pointer (in any order, each input once). A float16 input may be given as
// float32 and is converted; any other type must match the model's. The
// outputs land in result's storage. 0 on success; on failure -1 and the
// outputs are zero, so that no earlier run's data passes for this one's.
int RunModel(Model& model, Result& result, std::int32_t count, char* const* names, const std::int32_t* types,
             void* const* data);

}  // namespace tesk

#endif
