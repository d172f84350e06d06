// How a run ended, and the exit status and message that follow from it.
#pragma once

#include <string>
#include <vector>

namespace vseg {

struct RunEnd {
    int status = 0;             // kExitFailure when processing failed part-way, with failure set
    std::string failure;
    std::string input;          // for messages
    long frames = 0;            // processed
    long dropped = 0;           // replaced by newer ones (live sources)
    bool interrupted = false;   // a signal before the input's end or --max-frames
    bool inputEnded = false;    // the reader reached the end of its output
    bool live = false;          // a device, stream or --input-format source
    bool maxFramesGiven = false;
    bool readerOk = true;       // the reader (once it ended by itself) exited with status 0
    std::string readerStory;    // "was killed by signal 9", "exited with status 1"
    std::string readerErrors;   // the end of its standard error
    long announced = -1;        // frames the file says it holds; < 0 unknown
};

struct Verdict {
    int status = 0;
    std::string message;                 // for a status other than 0
    std::vector<std::string> notes;      // said either way
};

Verdict JudgeRun(const RunEnd& end);

// Whether a file that announced `announced` frames and gave `got` ended
// early. One frame of slack: some muxers (ffmpeg 5.1's AVI writer with sound)
// announce one frame more than they store; a cut file misses many more.
bool EndedEarly(long announced, long got);

}  // namespace vseg
