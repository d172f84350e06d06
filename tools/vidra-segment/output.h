// Where processed frames go. Every output (an encoded file, an image
// sequence, a virtual camera) is one FrameOutput; the run hands each frame to
// all of them alike, so a new kind of output is a new class, not a new branch
// in the run.
#pragma once

#include <cstdint>
#include <string>

namespace vseg {

// One processed frame, valid during Write only.
struct ProcessedFrame {
    long number = 0;                    // 1, 2, ...
    long slots = 1;                     // how many frame times it fills (> 1 after dropped frames of a paced file)
    const uint8_t* frame = nullptr;     // as decoded
    const uint8_t* mask = nullptr;      // one byte per pixel
    const uint8_t* composite = nullptr; // null when no output takes it
};

// What an output learns once the input is known.
struct StreamInfo {
    int width = 0, height = 0;
    std::string frameRate;   // "num/den"
    bool wallclock = false;  // frames carry their arrival time (live sources drop frames)
    std::string audioInput;  // a file whose first audio stream may go along; "" = none
    std::string audioCodec;  // its codec
};

enum class OutputFailure { None, NoFfmpeg, Failed };

class FrameOutput {
public:
    virtual ~FrameOutput() = default;
    // The path, for messages.
    virtual const std::string& Path() const = 0;
    virtual bool TakesComposite() const = 0;
    // Gets ready to take frames (a temporary file, an encoder). Sets why when not None.
    virtual OutputFailure Open(const StreamInfo& stream, std::string& why) = 0;
    // False once the output can take no more (its encoder is gone).
    virtual bool Write(const ProcessedFrame& frame) = 0;
    // Ends the stream. "" or why the output is not whole.
    virtual std::string Finish() = 0;
    // Puts a whole result in place ("" or why not); a result holding no
    // frame is thrown away instead and never replaces an earlier file.
    virtual std::string Commit(long frames) = 0;
    // Throws the result away; nothing under the output's name changes.
    virtual void Discard() = 0;
};

}  // namespace vseg
