// Processor time of the calling thread, one implementation per platform
// (thread_time_posix.cpp; GetThreadTimes on Windows). The summary shows it
// beside the wall time of a stage: on a machine whose cores the encoders and
// the decoder share, the wall time also counts the waits for a core.
#pragma once

namespace vseg {

// Seconds of processor time the calling thread has used; 0 when unknown.
double ThreadCpuSeconds();

}  // namespace vseg
