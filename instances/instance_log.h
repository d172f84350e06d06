// An instance's diagnostics: its own messages and, for the duration of each of
// its calls, the segmenter's log lines, all handed to the host's callback (or
// dropped) instead of standard output.
#ifndef VIDRA_INSTANCES_INSTANCE_LOG_H
#define VIDRA_INSTANCES_INSTANCE_LOG_H

#include <cstdint>

#include "common/log.h"
#include "vidra.h"

namespace instances {

struct InstanceLog {
    VidraLogCallback callback = nullptr;
    void* user = nullptr;
    int32_t least = VIDRA_LOG_ERROR;

    bool Wants(int32_t level) const { return callback != nullptr && level >= least; }
    // Formats and delivers one message when the level is wanted.
    void Report(int32_t level, const char* format, ...) const VIDRA_PRINTF_FORMAT(3, 4);
};

// Routes the calling thread's segmenter log lines to log at VIDRA_LOG_DEBUG,
// without their line end, while in scope; unformatted and dropped when the
// host does not want that level.
class CoreLogRoute {
public:
    explicit CoreLogRoute(const InstanceLog& log);

private:
    LogRedirect redirect_;
};

}  // namespace instances

#endif
