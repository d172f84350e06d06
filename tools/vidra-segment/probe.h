// What ffprobe tells about the input's first video stream.
#pragma once

#include <string>
#include <vector>

namespace vseg {

struct InputInfo {
    int width = 0;              // as decoded, after the stream's rotation
    int height = 0;
    std::string frameRate;      // "num/den", for the writers
    double fps = 0.0;
    long frameCount = -1;       // -1 = unknown (live source, or not countable)
    bool still = false;         // a single image
};

enum class ProbeResult { Ok, NoProgram, Failed };

// Runs ffprobe on input with the given input arguments. countFrames asks for
// the number of frames when the container does not state it (one demuxing
// pass). Failed sets error.
ProbeResult ProbeInput(const std::string& input, const std::vector<std::string>& inputArgs,
                       bool countFrames, InputInfo& info, std::string& error);

// The codec of the input's first audio stream ("aac", "ac3", ...), or ""
// when it has none.
std::string ProbeAudioCodec(const std::string& input, const std::vector<std::string>& inputArgs);

// Reads ffprobe's "key=value" lines (default writer, no wrappers) into info.
// Exposed for tests. Returns false when width or height is missing.
bool ParseProbeOutput(const std::string& text, InputInfo& info);

}  // namespace vseg
