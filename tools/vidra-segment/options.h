// Command line of vidra-segment: what to read, what to write, how to segment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vseg {

// Process exit codes.
enum ExitCode {
    kExitOk = 0,
    kExitFailure = 1,   // processing failed part-way (ffmpeg error, library error)
    kExitUsage = 2,     // bad command line
    kExitInput = 3,     // input missing or unreadable
    kExitNoFfmpeg = 4,  // ffmpeg or ffprobe not found
    kExitCreate = 5,    // the segmenter could not be created
    kExitInterrupted = 6,  // stopped by a signal before the end of the input
    kExitShortInput = 7,   // the input ended before its announced length
    kExitSourceFailed = 8, // the input's reader failed part-way (killed, or exited with an error)
};

enum class BackgroundMode { Blur, Image, Color, Remove };
enum class ModelParams { k144x80, k640x480 };
enum class ProgressMode { Auto, On, Off };

struct Options {
    std::string input;
    std::vector<std::string> inputArgs;  // ffmpeg arguments placed before "-i INPUT"
    bool liveInput = false;              // --input-format given: length unknown
    bool realtime = false;               // read a file at its own rate, like a live source
    std::string output;                  // composited video or image; "" = none
    std::string mask;                    // mask video or image; "" = none
    std::string logFile;                 // library log; "" = discarded
    BackgroundMode background = BackgroundMode::Blur;
    std::string backgroundImage;         // an image, or a video looped to the input's length
    uint8_t color[3] = {0, 0, 0};
    int blurRadius = 0;                  // 0 = chosen from the frame size
    int frameType = 1;                   // 1 = rgb24, 2 = rgba
    std::string modelDir;                // a model folder or a .tesk file
    ModelParams params = ModelParams::k144x80;
    int threads = -1;                    // < 0 = the record's own run type
    bool largestRegion = false;          // switches of the parameter record
    bool noMaskBlur = false;
    bool noSmooth = false;
    bool refine = false;                 // refine the mask's edges on the frame
    bool noAudio = false;
    long maxFrames = 0;                  // 0 = until the input ends
    ProgressMode progress = ProgressMode::Auto;
    bool help = false;
    bool version = false;
};

// Parses argv into opts (which holds the defaults on entry). Returns "" on
// success, otherwise a one-line message naming the offending argument.
std::string ParseOptions(int argc, const char* const* argv, Options& opts);

// Parses "RRGGBB" (an optional leading '#' is allowed).
bool ParseColor(const std::string& text, uint8_t rgb[3]);

std::string UsageText(const std::string& program, const std::string& defaultModelDir);

}  // namespace vseg
