// The library writes its log to standard output on every frame. LogCapture
// moves fd 1 onto a private, unlinked temporary file, hands back what each
// call wrote, copies every byte to the --log file (if any) and empties the
// temporary file again, so it never grows.
#pragma once

#include <string>
#include <sys/types.h>

namespace vseg {

class LogCapture {
public:
    ~LogCapture();
    // logPath "" = discard. Returns "" or an error message; either way fd 1
    // no longer reaches the real standard output.
    std::string Start(const std::string& logPath);
    // Flushes stdout and returns what was written since the last call.
    std::string Drain();
    // Drains, then points fd 1 at the log file (or /dev/null), so that what
    // the library writes later, while it unloads, still lands there. With
    // restore, fd 1 gets back what it was before Start instead.
    void Stop(bool restore = false);

private:
    int tempFd_ = -1;
    int logFd_ = -1;
    int savedStdout_ = -1;
    off_t readOffset_ = 0;
    bool started_ = false;
};

// Points fd 1 at /dev/null: for exits before a capture starts. (The library
// logs again while it unloads, after main returns.)
void DiscardStdout();

// How one frame went, read from what the library logged while processing it:
// the keyframe test logs its similarity, and a frame that runs the network
// logs "NNXRun start.". A compared frame without a run was skipped.
enum class FrameLog { Inferred, Skipped, Unknown };
FrameLog ClassifyFrameLog(const std::string& text);

}  // namespace vseg
