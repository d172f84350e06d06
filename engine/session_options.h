// Session settings for a run-model type.
#ifndef TESK_ENGINE_SESSION_OPTIONS_H
#define TESK_ENGINE_SESSION_OPTIONS_H

#include <cstdint>

#include "engine/ort_c_api.h"

namespace tesk {

// Run-model type 0 computes on the caller's thread alone: one intra-op
// thread (the caller), sequential execution, so the runtime starts no
// threads. N > 0 gives N intra-op threads (the caller and N - 1 workers).
// Worker threads never spin while idle: the host runs video work beside us.
// Null for a negative type or a runtime failure.
ort::SessionOptions* MakeSessionOptions(std::int32_t runModelType);

}  // namespace tesk

#endif
