// A FrameOutput encoded by ffmpeg: a video or image file (written under a
// temporary name and renamed when whole), or, as VirtualCameraOutput, a
// video4linux output device written in place.
#pragma once

#include "file_identity.h"
#include "frame_sink.h"
#include "output.h"
#include "staged_output.h"
#include "writer.h"

#include <memory>

namespace vseg {

enum class Picture { Composite, Mask };

class EncodedOutput : public FrameOutput {
public:
    // carriesAudio: the input's sound goes along when the format holds it.
    EncodedOutput(const std::string& path, Picture picture, PixelFormat format, const EncoderChoice& encoder,
                  const FileIdentity& target, bool carriesAudio);
    const std::string& Path() const override { return path_; }
    bool TakesComposite() const override { return picture_ == Picture::Composite; }
    OutputFailure Open(const StreamInfo& stream, std::string& why) override;
    bool Write(const ProcessedFrame& frame) override;
    std::string Finish() override;
    std::string Commit(long frames) override;
    void Discard() override;

protected:
    // Where ffmpeg writes; "" with why set when there is no such place.
    virtual std::string Destination(std::string& why);

    std::string path_;
    EncoderChoice encoder_;

private:
    Picture picture_;
    PixelFormat format_;
    FileIdentity target_;
    bool carriesAudio_;
    size_t frameBytes_ = 0;
    StagedOutput staged_;
    std::unique_ptr<FrameSink> sink_;
};

// A virtual camera: frames go straight to the device, nothing to rename.
class VirtualCameraOutput : public EncodedOutput {
public:
    using EncodedOutput::EncodedOutput;
    std::string Commit(long) override { return ""; }
    void Discard() override {}

protected:
    std::string Destination(std::string&) override { return path_; }
};

size_t BytesPerPixel(PixelFormat format);

}  // namespace vseg
