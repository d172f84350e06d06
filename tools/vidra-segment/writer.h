// Encoding raw frames to a video or image file with ffmpeg, the encoder
// chosen from the file name's extension.
#pragma once

#include "platform/process.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vseg {

// Bgr: the composite's byte order, which ffmpeg converts to YUV fastest.
enum class PixelFormat { Gray, Bgr, Rgba };

struct EncoderChoice {
    std::vector<std::string> args;  // output arguments placed before the file name
    std::string extension;          // of the file name, lower case
    bool image = false;             // a still image format
    bool device = false;            // a video4linux output device (virtual camera)
    bool keepsAlpha = false;        // the format stores transparency
    bool evenSize = false;          // the encoder needs even sides: an odd last row is cropped
    bool h264 = false;              // libx264: the preset follows the frame size
    std::string error;              // non-empty: the combination is refused
};

// Chooses by the file name's extension; a path under /dev/ (or a character
// device) is a video4linux output such as a v4l2loopback virtual camera,
// written as yuv420p (see UseDevicePixelFormat).
EncoderChoice ChooseEncoder(const std::string& path, PixelFormat format, bool isCharDevice = false);

// Sets the pixel format a device output is written in.
void UseDevicePixelFormat(EncoderChoice& choice, const std::string& pixelFormat);

// The audio arguments for an output: the input's audio stream copied when
// its codec fits the container, re-encoded otherwise; empty when the output
// holds no audio (images, devices).
std::vector<std::string> AudioArgs(const EncoderChoice& choice, const std::string& codec);

struct WriterStream {
    int width = 0, height = 0;
    std::string frameRate;          // "num/den"
    bool wallclock = false;         // time frames by their arrival (live sources drop frames)
    std::string audioInput;         // a file whose first audio stream goes along; "" = none
    std::vector<std::string> audioArgs;
};

// The full ffmpeg command for writing frames to path.
std::vector<std::string> WriterArgs(const std::string& path, const EncoderChoice& choice, PixelFormat format,
                                    const WriterStream& stream);

class FrameWriter {
public:
    SpawnError Open(const std::vector<std::string>& args, size_t frameBytes);
    // False when ffmpeg stopped taking frames (it reports why on stderr).
    bool Write(const uint8_t* frame) { return child_.Write(frame, frameBytes_); }
    // Ends the stream and waits for ffmpeg.
    ProcessStatus Close() { return child_.Wait(); }
    // Stops ffmpeg at once (a Write blocked on another thread returns).
    void Kill() { child_.Kill(); }

private:
    ChildProcess child_;  // killed if still running when destroyed
    size_t frameBytes_ = 0;
};

}  // namespace vseg
