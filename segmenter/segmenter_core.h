// The frame pipeline of one segmenter as the handle API drives it. The core
// owns the segmenter object (geometry, parameters, model context, buffers,
// keyframe and smoothing state) and is the only code outside the segmenter's
// own files that touches it: set-up with a result that says why it failed,
// the reset of the temporal state, and an entry point for a frame already
// resampled to the network's input size. The global exports drive the same
// segmenter class, through its own methods, on their one object.
#ifndef VIDRA_SEGMENTER_SEGMENTER_CORE_H
#define VIDRA_SEGMENTER_SEGMENTER_CORE_H

#include <cstdint>
#include <memory>
#include <string>

#include "resampling/rgb_process.h"
#include "segmenter/frame_report.h"
#include "vidra_core.h"

namespace ipu {

class ClassIPUPlus;

enum class SetupResult {
    kReady,
    kNoMemory,       // a buffer could not be allocated
    kModelUnusable,  // the engine refused the model, or its tensors do not fit the parameters
};

class SegmenterCore {
public:
    SegmenterCore();
    ~SegmenterCore();
    SegmenterCore(const SegmenterCore&) = delete;
    SegmenterCore& operator=(const SegmenterCore&) = delete;

    // Applies params (already checked) and the frame size, allocates every
    // buffer and prepares the model file `name` in `folder`. engineStatus
    // receives the segmenter's own status for the log. Not repeatable: a core
    // is set up once.
    SetupResult SetUp(const SegParams& params, int32_t width, int32_t height,
                      const std::string& folder, int32_t& engineStatus);

    int32_t Width() const;
    int32_t Height() const;

    // The table routines of the resampler, for input paths that resample the
    // host's frame themselves.
    rgbproc::RGBPROCESS& Resampler();
    // Where a host frame is resampled to the network's input size: bytes 0..2
    // of each pixel are R, G, B, pixels `step` (3 or 4) bytes apart.
    uint8_t* ResizedFrame();

    // The network input and luminance from the frame resampled into
    // ResizedFrame() with pixel step `step` (3 or 4).
    void PrepareInput(int32_t step);

    // Runs a prepared frame: keyframe decision, network, post-processing into
    // `mask` (width x height, rows packed); fills report when given. 0, or -1
    // when the segmenter refuses. Throws std::bad_alloc when a temporary
    // cannot be allocated; the keyframe is then forgotten, so the next frame
    // runs the network.
    int32_t ProcessPrepared(uint8_t* mask, FrameReport* report);

    // PrepareInput, then ProcessPrepared.
    int32_t ProcessResized(int32_t step, uint8_t* mask, FrameReport* report);

    // Clears the keyframe, smoothing and working buffers and restarts the
    // keyframe schedule: the core then behaves as a newly set-up one.
    void Reset();

private:
    std::unique_ptr<ClassIPUPlus> model_;
};

}  // namespace ipu

#endif
