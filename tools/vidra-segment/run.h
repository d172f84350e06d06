// One run of vidra-segment: checks, probing, the segmenter, and the pipeline
// of decoder thread, segmenting and compositing thread, and encoder threads.
#pragma once

#include "options.h"

namespace vseg {

// Returns the process exit status (ExitCode).
int Run(const Options& opts);

}  // namespace vseg
