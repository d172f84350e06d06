#include "common/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

using Route = LogRedirect::Route;

// The calling thread's routing; null means the library's default: standard
// output in the full library, nowhere in the core library (which has no
// output of its own).
thread_local const Route* t_route = nullptr;

#if defined(VIDRA_QUIET_LIBRARY)
constexpr bool kDefaultToStdout = false;
#else
constexpr bool kDefaultToStdout = true;
#endif

void Deliver(const Route& route, const char* format, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0) return;
    if (static_cast<size_t>(length) < sizeof small) {
        route.sink(route.context, small);
        return;
    }
    // Rare long message (a long path): format it again in a buffer that fits.
    char* large = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (large == nullptr) {
        route.sink(route.context, small);
        return;
    }
    std::vsnprintf(large, static_cast<size_t>(length) + 1, format, args);
    route.sink(route.context, large);
    std::free(large);
}

}  // namespace

void LogPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (t_route == nullptr) {
        if (kDefaultToStdout) std::vfprintf(stdout, format, args);
    } else if (t_route->sink != nullptr) {
        Deliver(*t_route, format, args);
    }
    va_end(args);
}

LogRedirect::LogRedirect(LogSink sink, void* context)
    : route_{sink, context}, previous_(t_route) {
    t_route = &route_;
}

LogRedirect::~LogRedirect() { t_route = previous_; }
