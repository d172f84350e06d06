#include "platform/thread_time.h"

#include <time.h>

namespace vseg {

double ThreadCpuSeconds() {
    timespec t;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace vseg
