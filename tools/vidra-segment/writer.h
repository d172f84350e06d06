// Encoding raw frames to a video or image file with ffmpeg, the encoder
// chosen from the file name's extension.
#pragma once

#include "subprocess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vseg {

enum class PixelFormat { Gray, Rgb, Rgba };

struct EncoderChoice {
    std::vector<std::string> args;  // output arguments placed before the file name
    bool image = false;             // a still image format
    bool keepsAlpha = false;        // the format stores transparency
    bool evenSize = false;          // the encoder needs even sides: an odd last row is cropped
    std::string error;              // non-empty: the combination is refused
};

EncoderChoice ChooseEncoder(const std::string& path, PixelFormat format);

// The full ffmpeg command for writing frames of width x height to path.
std::vector<std::string> WriterArgs(const std::string& path, const EncoderChoice& choice, PixelFormat format,
                                    int width, int height, const std::string& frameRate);

class FrameWriter {
public:
    ~FrameWriter();
    // Returns 0, or an errno value from starting ffmpeg (ENOENT: not found).
    int Open(const std::vector<std::string>& args, size_t frameBytes);
    // False when ffmpeg stopped taking frames (it reports why on stderr).
    bool Write(const uint8_t* frame);
    // Ends the stream and waits; returns ffmpeg's exit status.
    int Close();
    bool IsOpen() const { return child_.pid > 0; }

private:
    Child child_;
    size_t frameBytes_ = 0;
};

}  // namespace vseg
