// The frame loop: input -> segmentation -> compositing -> every output.
// Reading and encoding run on threads of their own (FrameSource, the
// outputs' sinks); this loop runs the library's calls on one thread.
#pragma once

#include "background.h"
#include "compositor.h"
#include "frame_source.h"
#include "output.h"
#include "progress.h"
#include "segmentation.h"

#include <memory>
#include <vector>

namespace vseg {

struct PipelineParts {
    FrameSource* source = nullptr;
    bool paced = false;                 // frame indices are time slots: dropped slots are filled
    Segmentation* segmentation = nullptr;
    Compositor* compositor = nullptr;   // for the composite and --refine
    bool refine = false;
    Background* background = nullptr;
    std::vector<std::unique_ptr<FrameOutput>>* outputs = nullptr;
    StageClock* clock = nullptr;
    ProgressBar* bar = nullptr;
    long maxFrames = 0;                 // 0 = until the input ends
    size_t pixels = 0;
};

struct PipelineResult {
    long frames = 0;
    long skipped = 0;                   // answered from the previous mask
    LibraryTimes library;
    bool inputEnded = false;
    int status = 0;                     // kExitFailure with failure set when a stage failed
    std::string failure;
};

// Runs until the input ends, maxFrames, an interruption or a failure.
PipelineResult RunPipeline(const PipelineParts& parts);

}  // namespace vseg
