#include "platform/thread_time.h"

#include <windows.h>

namespace vseg {

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return 1e-7 * static_cast<double>(ticks(kernel) + ticks(user));  // 100 ns units
}

}  // namespace vseg
