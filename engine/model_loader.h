// Creating a model and its result from a model file.
#ifndef TESK_ENGINE_MODEL_LOADER_H
#define TESK_ENGINE_MODEL_LOADER_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/engine_objects.h"

namespace tesk {

// Largest storage the engine allocates for one model (outputs and float16
// input copies): 256 MiB, far above any segmentation network, so that a tiny
// file declaring huge tensors is refused before anything is allocated.
constexpr std::size_t kMaxModelStorageBytes = std::size_t{256} << 20;

// Loads the model at path into a session of the given run-model type and
// prepares the output storage. False (reason on stderr) for anything the
// engine cannot run; nothing is kept then.
bool LoadModel(const char* path, std::int32_t runModelType, std::unique_ptr<Model>* model,
               std::unique_ptr<Result>* result);

}  // namespace tesk

#endif
