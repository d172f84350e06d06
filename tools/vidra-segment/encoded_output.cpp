#include "encoded_output.h"

#include <algorithm>
#include <cstring>

namespace vseg {

size_t BytesPerPixel(PixelFormat f) { return f == PixelFormat::Gray ? 1 : f == PixelFormat::Rgba ? 4 : 3; }

EncodedOutput::EncodedOutput(const std::string& path, Picture picture, PixelFormat format,
                             const EncoderChoice& encoder, const FileIdentity& target, bool carriesAudio)
    : path_(path), encoder_(encoder), picture_(picture), format_(format), target_(target),
      carriesAudio_(carriesAudio) {}

std::string EncodedOutput::Destination(std::string& why) {
    why = staged_.Create(target_);
    return why.empty() ? staged_.WritePath() : "";
}

OutputFailure EncodedOutput::Open(const StreamInfo& stream, std::string& why) {
    const std::string destination = Destination(why);
    if (destination.empty()) return OutputFailure::Failed;
    WriterStream s;
    s.width = stream.width;
    s.height = stream.height;
    s.frameRate = stream.frameRate;
    s.wallclock = stream.wallclock;
    if (carriesAudio_ && !stream.audioInput.empty()) {
        s.audioArgs = AudioArgs(encoder_, stream.audioCodec);
        if (!s.audioArgs.empty()) s.audioInput = stream.audioInput;
    }
    frameBytes_ = static_cast<size_t>(stream.width) * stream.height * BytesPerPixel(format_);
    sink_ = std::make_unique<FrameSink>();
    const SpawnError rc = sink_->Start(WriterArgs(destination, encoder_, format_, s), frameBytes_, 2);
    if (rc == SpawnError::None) return OutputFailure::None;
    sink_.reset();
    why = rc == SpawnError::NotFound ? "ffmpeg not found" : "cannot start ffmpeg for '" + path_ + "'";
    return rc == SpawnError::NotFound ? OutputFailure::NoFfmpeg : OutputFailure::Failed;
}

bool EncodedOutput::Write(const ProcessedFrame& frame) {
    const uint8_t* picture = picture_ == Picture::Composite ? frame.composite : frame.mask;
    // A paced file's dropped frames are filled with the frame that follows
    // them, so that every frame keeps its time and the sound stays in step.
    for (long i = 0; i < std::max(1L, frame.slots); ++i) {
        Frame* out = sink_->Acquire();
        if (!out) return false;
        std::memcpy(out->data(), picture, frameBytes_);
        sink_->Push(out);
    }
    return !sink_->Failed();
}

std::string EncodedOutput::Finish() {
    if (!sink_) return "";
    const bool whole = sink_->Finish();
    sink_.reset();
    return whole ? "" : "ffmpeg could not write '" + path_ + "'";
}

std::string EncodedOutput::Commit(long frames) {
    if (frames <= 0) {
        Discard();
        return "";
    }
    return staged_.Commit();
}

void EncodedOutput::Discard() {
    sink_.reset();
    staged_.Discard();
}

}  // namespace vseg
