// Decoded frames from ffmpeg: raw RGB or RGBA, rows packed, through a pipe.
#pragma once

#include "platform/process.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vseg {

// ffmpeg's arguments for reading input as frames of width x height pixels
// (the decoded picture is brought to that size). A non-empty constantRate
// ("num/den") makes the frames evenly spaced at that rate, repeating or
// dropping as the timestamps say (a file read in real time is paced and
// written by frame number, so its frames must be).
std::vector<std::string> ReaderArgs(const std::string& input, const std::vector<std::string>& inputArgs,
                                    int width, int height, int bytesPerPixel, const std::string& constantRate);

// ffmpeg's arguments for a background video: looped without end, at
// frameRate, scaled to cover width x height and centre-cropped to it, RGB.
std::vector<std::string> LoopedCoverArgs(const std::string& path, int width, int height,
                                         const std::string& frameRate);

class FrameReader {
public:
    FrameReader() = default;
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    ~FrameReader();
    SpawnError Open(const std::vector<std::string>& args, size_t frameBytes);
    // Fills frame with the next frame; false at the end of the input.
    bool Read(uint8_t* frame);
    // True when the input ended in the middle of a frame.
    bool Truncated() const { return truncated_; }
    // Waits for ffmpeg (killing it first when stopEarly) and says how it ended.
    ProcessStatus Close(bool stopEarly);
    // Stops ffmpeg at once, so that a Read blocked on another thread returns.
    void Kill() { child_.Kill(); }
    // The end of what ffmpeg wrote to its standard error (complete after Close).
    std::string ErrorTail() const;

private:
    ChildProcess child_;
    size_t frameBytes_ = 0;
    bool truncated_ = false;
    bool open_ = false;
    std::thread errors_;
    mutable std::mutex errorLock_;
    std::string errorTail_;
};

// Decodes the first frame of an image or video, scaled to cover
// width x height and centre-cropped to it, as RGB.
SpawnError LoadCoverImage(const std::string& path, int width, int height, std::vector<uint8_t>& rgb, bool& ok);

// The last lines of text, at most about maxBytes, whole lines when possible,
// joined by "; " (for a one-line message).
std::string TailLines(const std::string& text, size_t maxBytes);

}  // namespace vseg
