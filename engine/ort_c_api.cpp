#include "engine/ort_c_api.h"

#include <cstdio>
#include <cstdlib>

extern "C" {
// The runtime's entry point: a pair of functions, the first returning the
// function table of a requested API version.
struct OrtApiBaseEntry {
    const void* (*getApi)(std::uint32_t version);
    const char* (*getVersionString)();
};
#if defined(_WIN32)
__declspec(dllimport)
#endif
const OrtApiBaseEntry* OrtGetApiBase();
}

namespace ort {

const void* const* Table() {
    static const void* const* table = [] {
#if !defined(_WIN32)
        // The runtime's Linux build starts Microsoft's telemetry client with
        // its first environment: it parses /proc/self/cmdline with a recursive
        // pattern (a host started with an argument of about 30 KB dies of a
        // stack overflow), runs a thread, writes under ~/.cache and /tmp and
        // uploads over the network. The C API can only mute it once the
        // environment exists; the runtime reads this variable when it first
        // sets up, which happens after this point. A value the host chose is
        // kept.
        setenv("ORT_DISABLE_TELEMETRY", "1", 0);
#endif
        const OrtApiBaseEntry* base = OrtGetApiBase();
        const void* api = base != nullptr ? base->getApi(kApiVersion) : nullptr;
        if (api == nullptr) {
            std::fprintf(stderr, "tesk: ONNX Runtime does not offer API version %u\n",
                         static_cast<unsigned>(kApiVersion));
        }
        return static_cast<const void* const*>(api);
    }();
    return table;
}

bool Check(Status* status, const char* what) {
    if (status == nullptr) return true;
    std::fprintf(stderr, "tesk: %s: %s\n", what, GetErrorMessage(status));
    ReleaseStatus(status);
    return false;
}

}  // namespace ort
