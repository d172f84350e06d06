// One run of vidra-segment: checks, probing, the segmenter, the frame
// pipeline, and putting the outputs in place.
#pragma once

#include "options.h"

#include <chrono>

namespace vseg {

// Returns the process exit status (ExitCode). started: when the program
// started, so that the summary's start-up covers everything before the first frame.
int Run(const Options& opts, std::chrono::steady_clock::time_point started);

}  // namespace vseg
