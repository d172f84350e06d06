// The replacement background of --background: a still picture decoded once,
// or a video decoded on its own thread, looped, one frame per input frame.
#pragma once

#include "frame_source.h"

#include <string>
#include <vector>

namespace vseg {

class Background {
public:
    // Probes path and decodes a still picture at once. Returns an exit
    // status (kExitOk, kExitNoFfmpeg, kExitInput) with why set on failure.
    int Prepare(const std::string& path, int width, int height, std::string& why);
    // Starts decoding a video background at frameRate (a still needs nothing).
    SpawnError Start(const std::string& frameRate);
    // The picture for the next frame: RGB, the frame's size; null when a
    // video stopped decoding or stop() turned true. Give it back with Done.
    const uint8_t* Next(const std::function<bool()>& stop);
    void Done();
    void Stop() { video_.Stop(true); }
    bool Used() const { return !path_.empty(); }
    bool IsVideo() const { return Used() && still_.empty(); }

private:
    std::string path_;
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> still_;
    FrameSource video_;
    Frame* current_ = nullptr;
};

}  // namespace vseg
