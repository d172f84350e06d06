// Session settings for a run-model type.
#ifndef TESK_ENGINE_SESSION_OPTIONS_H
#define TESK_ENGINE_SESSION_OPTIONS_H

#include <cstdint>

#include "engine/ort_c_api.h"

namespace tesk {

// Largest run-model type: more threads than any CPU here would use, and the
// runtime ends the process (std::terminate) when it cannot start one.
constexpr std::int32_t kMaxRunModelType = 64;

// Run-model type 0 computes on the caller's thread alone: one intra-op
// thread (the caller), sequential execution, so the runtime starts no
// threads. N in 1..64 gives N intra-op threads (the caller and N - 1
// workers). Worker threads never spin while idle: the host runs video work
// beside us. Null for a type outside 0..64 or a runtime failure.
ort::SessionOptions* MakeSessionOptions(std::int32_t runModelType);

}  // namespace tesk

#endif
