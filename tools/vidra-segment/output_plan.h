// Everything checked before anything is opened for writing, and the outputs
// the command line asks for.
#pragma once

#include "encoded_output.h"
#include "options.h"

#include <memory>
#include <string>
#include <vector>

namespace vseg {

struct OutputSpec {
    const char* label;   // "--output", "--mask"
    std::string path;
    Picture picture;
    PixelFormat format;
    EncoderChoice encoder;
    FileIdentity target;
};

// Sources that deliver frames at their own pace, whether or not we keep up.
bool IsLiveInput(const Options& opts);

// The formats of the outputs, that the input and background exist, virtual
// camera devices, and every file by identity. Returns kExitOk and fills
// specs, or an exit status with why set.
int CheckRun(const Options& opts, std::vector<OutputSpec>& specs, std::string& why);

std::vector<std::unique_ptr<FrameOutput>> MakeOutputs(const std::vector<OutputSpec>& specs);

}  // namespace vseg
