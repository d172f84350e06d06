// Decoded frames from ffmpeg: raw RGB or RGBA, rows packed, through a pipe.
#pragma once

#include "subprocess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vseg {

// ffmpeg's arguments for reading input as frames of width x height pixels
// (the decoded picture is brought to that size). realtime reads a file at its
// own frame rate, as a live source delivers it.
std::vector<std::string> ReaderArgs(const std::string& input, const std::vector<std::string>& inputArgs,
                                    int width, int height, int bytesPerPixel, bool realtime);

// ffmpeg's arguments for a background video: looped without end, at
// frameRate, scaled to cover width x height and centre-cropped to it, RGB.
std::vector<std::string> LoopedCoverArgs(const std::string& path, int width, int height,
                                         const std::string& frameRate);

class FrameReader {
public:
    ~FrameReader();
    // Returns 0, or an errno value from starting ffmpeg (ENOENT: not found).
    int Open(const std::vector<std::string>& args, size_t frameBytes);
    // Fills frame with the next frame; false at the end of the input.
    bool Read(uint8_t* frame);
    // True when the input ended in the middle of a frame.
    bool Truncated() const { return truncated_; }
    // Waits for ffmpeg (stopping it first when stopEarly) and returns its status.
    int Close(bool stopEarly);
    // Stops ffmpeg at once, so that a Read blocked on another thread returns.
    void Kill();

private:
    Child child_;
    size_t frameBytes_ = 0;
    bool truncated_ = false;
};

// Decodes the first frame of an image or video, scaled to cover
// width x height and centre-cropped to it, as RGB. Returns 0, ENOENT (no
// ffmpeg) or -1.
int LoadCoverImage(const std::string& path, int width, int height, std::vector<uint8_t>& rgb);

}  // namespace vseg
