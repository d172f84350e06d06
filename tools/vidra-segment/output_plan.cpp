#include "output_plan.h"

#include "platform/file_system.h"
#include "video_device.h"

namespace vseg {
namespace {

bool IsPattern(const OutputSpec& o) { return o.encoder.image && o.path.find('%') != std::string::npos; }

bool Exists(const std::string& path) {
    const PathKind kind = Inspect(path).kind;
    return kind != PathKind::Missing && kind != PathKind::Folder;
}

// Identity checks of every file the run reads or writes; "" or the problem.
std::string CheckFiles(const Options& opts, std::vector<OutputSpec>& specs) {
    std::vector<RunFile> files;
    auto add = [&](const std::string& label, const std::string& path, bool written, bool pattern, bool device) {
        RunFile f;
        f.label = label;
        f.path = path;
        f.written = written;
        f.pattern = pattern;
        f.device = device;
        files.push_back(f);
    };
    for (const OutputSpec& o : specs) {
        add(o.label, o.path, true, IsPattern(o), o.encoder.device);
        std::string folder, name;
        SplitPath(o.path, folder, name);
        NamePattern p;
        if (IsPattern(o) && !ParseNamePattern(name, p))
            return std::string(o.label) + " '" + o.path +
                   "': an image sequence takes one %d or %0Nd (N up to 9), and %% for a '%'";
    }
    add("the input", opts.input, false, false, true);
    add("the background", opts.background == BackgroundMode::Image ? opts.backgroundImage : "", false, false, false);
    add("--log", opts.logFile, true, false, false);
    const std::string error = CheckRunFiles(files);
    for (size_t i = 0; i < specs.size(); ++i) specs[i].target = files[i].id;
    return error;
}

}  // namespace

bool IsLiveInput(const Options& opts) {
    if (opts.liveInput || Inspect(opts.input).kind == PathKind::Device) return true;
    for (const char* scheme : {"rtsp://", "rtsps://", "rtmp://", "rtmps://", "rtp://", "udp://", "srt://", "tcp://"})
        if (opts.input.rfind(scheme, 0) == 0) return true;
    return false;
}

int CheckRun(const Options& opts, std::vector<OutputSpec>& specs, std::string& why) {
    const bool remove = opts.background == BackgroundMode::Remove;
    specs.clear();
    if (!opts.output.empty())
        specs.push_back({"--output", opts.output, Picture::Composite, remove ? PixelFormat::Rgba : PixelFormat::Bgr, {}, {}});
    if (!opts.mask.empty()) specs.push_back({"--mask", opts.mask, Picture::Mask, PixelFormat::Gray, {}, {}});
    for (OutputSpec& o : specs) {
        o.encoder = ChooseEncoder(o.path, o.format, Inspect(o.path).kind == PathKind::Device);
        why = o.encoder.error;
        if (why.empty() && o.encoder.device) why = DevicesUnsupported(o.path);
        if (!why.empty()) return kExitUsage;
    }
    if (opts.input.rfind("/dev/", 0) == 0) {
        why = DevicesUnsupported(opts.input);
        if (!why.empty()) return kExitUsage;
    }
    const bool urlInput = opts.input.find("://") != std::string::npos;
    if (!opts.liveInput && !urlInput && !Exists(opts.input)) {
        why = "input not found: '" + opts.input + "'";
        return kExitInput;
    }
    if (opts.background == BackgroundMode::Image && !Exists(opts.backgroundImage)) {
        why = "background not found: '" + opts.backgroundImage + "'";
        return kExitInput;
    }
    for (OutputSpec& o : specs) {
        if (!o.encoder.device) continue;
        std::string pixelFormat;
        why = CheckVideoOutputDevice(o.path, pixelFormat);
        if (!why.empty()) return kExitInput;
        UseDevicePixelFormat(o.encoder, pixelFormat);
    }
    why = CheckFiles(opts, specs);
    return why.empty() ? kExitOk : kExitUsage;
}

std::vector<std::unique_ptr<FrameOutput>> MakeOutputs(const std::vector<OutputSpec>& specs) {
    std::vector<std::unique_ptr<FrameOutput>> outputs;
    for (const OutputSpec& o : specs) {
        const bool audio = o.picture == Picture::Composite;
        if (o.encoder.device)
            outputs.push_back(std::make_unique<VirtualCameraOutput>(o.path, o.picture, o.format, o.encoder, o.target, audio));
        else
            outputs.push_back(std::make_unique<EncodedOutput>(o.path, o.picture, o.format, o.encoder, o.target, audio));
    }
    return outputs;
}

}  // namespace vseg
