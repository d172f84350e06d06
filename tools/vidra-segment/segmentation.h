// The segmentation stage: one segmenter instance of the library (no global
// state), its log going to the --log file, and what each frame cost.
#pragma once

#include "log_file.h"
#include "options.h"

#include "vidra_core.h"

#include <cstdint>
#include <string>

namespace vseg {

class Segmentation {
public:
    Segmentation() = default;
    Segmentation(const Segmentation&) = delete;
    Segmentation& operator=(const Segmentation&) = delete;
    ~Segmentation();

    // Creates the instance for width x height frames of opts.frameType with
    // the model and switches of opts. log may be null (no --log). Returns a
    // VidraStatus; on failure why says what the library reported.
    int32_t Create(const Options& opts, int width, int height, LogFile* log, std::string& why);
    // Segments frame (RGB or RGBA, rows packed) into mask; info tells whether
    // the network ran and the stage times. A VidraStatus.
    int32_t Process(long number, const uint8_t* frame, uint8_t* mask, VidraFrameInfo& info);
    void Destroy();

private:
    static void OnLog(void* user, int32_t level, const char* message);

    VidraSegmenter* segmenter_ = nullptr;
    LogFile* log_ = nullptr;
    int width_ = 0, height_ = 0, format_ = VIDRA_PIXEL_RGB24;
    std::string lastError_;
};

// The parameter record a run uses: the chosen one with the command line's switches.
SegParams RunParams(const Options& opts);

}  // namespace vseg
