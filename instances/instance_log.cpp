#include "instances/instance_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace instances {

namespace {

void ForwardCoreLine(void* context, const char* text) {
    const auto* log = static_cast<const InstanceLog*>(context);
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    if (length == 0) return;
    try {
        const std::string line(text, length);
        log->callback(log->user, VIDRA_LOG_DEBUG, line.c_str());
    } catch (...) {
        // Out of memory for a trace line: drop it rather than fail the frame.
    }
}

}  // namespace

void InstanceLog::Report(int32_t level, const char* format, ...) const {
    if (!Wants(level)) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    callback(user, level, text);
}

CoreLogRoute::CoreLogRoute(const InstanceLog& log)
    : redirect_(log.Wants(VIDRA_LOG_DEBUG) ? ForwardCoreLine : nullptr,
                const_cast<InstanceLog*>(&log)) {}

}  // namespace instances
