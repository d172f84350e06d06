// vidra-segment: runs the vidra segmenter over a video, an image or a live
// source, as a host application would, and writes the mask and a composite.
#include "composite.h"
#include "file_identity.h"
#include "log_capture.h"
#include "options.h"
#include "probe.h"
#include "progress.h"
#include "reader.h"
#include "staged_output.h"
#include "writer.h"

#include "vidra.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef VIDRA_DEFAULT_MODEL_DIR
#define VIDRA_DEFAULT_MODEL_DIR "models"
#endif

using namespace vseg;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "vidra-segment: %s\n", message.c_str());
    return code;
}

int NoFfmpeg(const char* program) {
    return Fail(kExitNoFfmpeg, std::string(program) + " not found on PATH (install Debian's ffmpeg package)");
}

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void InstallSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;  // no SA_RESTART: a blocked read returns
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// One output file and what goes into it.
struct Output {
    const char* label;
    std::string path;
    PixelFormat format;
    EncoderChoice encoder;
    StagedOutput staged;
    FrameWriter writer;
};

bool IsPattern(const Output& o) { return o.encoder.image && o.path.find('%') != std::string::npos; }

// Identity checks of every file the run reads or writes; "" or the problem.
std::string CheckFiles(const Options& opts, Output* outputs[2], std::vector<FileIdentity>& targets) {
    std::vector<RunFile> files;
    auto add = [&](const char* label, const std::string& path, bool written, bool pattern) {
        RunFile f;
        f.label = label;
        f.path = path;
        f.written = written;
        f.pattern = pattern;
        f.device = !written;  // a live input may be a device
        files.push_back(f);
    };
    for (int i = 0; i < 2; ++i) {
        const Output& o = *outputs[i];
        add(o.label, o.path, true, IsPattern(o));
        NamePattern p;
        const std::string name = o.path.substr(o.path.find_last_of('/') + 1);  // npos + 1 = 0
        if (IsPattern(o) && !ParseNamePattern(name, p))
            return std::string(o.label) + " '" + o.path +
                   "': an image sequence takes one %d or %0Nd (N up to 9), and %% for a '%'";
    }
    add("the input", opts.input, false, false);
    add("the background", opts.background == BackgroundMode::Image ? opts.backgroundImage : "", false, false);
    add("--log", opts.logFile, true, false);
    std::string error = CheckRunFiles(files);
    targets = {files[0].id, files[1].id};
    return error;
}

int Run(const Options& opts) {
    InstallSignals();
    // Until the capture starts, what the library writes to fd 1 goes nowhere.
    DiscardStdout();

    const bool remove = opts.background == BackgroundMode::Remove;
    Output composite{"--output", opts.output, remove ? PixelFormat::Rgba : PixelFormat::Rgb, {}, {}, {}};
    Output maskOut{"--mask", opts.mask, PixelFormat::Gray, {}, {}, {}};
    Output* outputs[2] = {&composite, &maskOut};
    for (Output* o : outputs) {
        if (o->path.empty()) continue;
        o->encoder = ChooseEncoder(o->path, o->format);
        if (!o->encoder.error.empty()) return Fail(kExitUsage, o->encoder.error);
    }
    const bool urlInput = opts.input.find("://") != std::string::npos;
    if (!opts.liveInput && !urlInput && !IsFile(opts.input))
        return Fail(kExitInput, "input not found: '" + opts.input + "'");
    if (opts.background == BackgroundMode::Image && !IsFile(opts.backgroundImage))
        return Fail(kExitInput, "background image not found: '" + opts.backgroundImage + "'");
    // Nothing is opened for writing before this check.
    std::vector<FileIdentity> targets;
    std::string fileError = CheckFiles(opts, outputs, targets);
    if (!fileError.empty()) return Fail(kExitUsage, fileError);
    if (opts.output.empty() && opts.mask.empty())
        std::fprintf(stderr, "vidra-segment: no --output or --mask given: frames are segmented and timed only\n");

    InputInfo info;
    std::string probeError;
    int rc = ProbeInput(opts.input, opts.inputArgs, !opts.liveInput, info, probeError);
    if (rc == ENOENT) return NoFfmpeg("ffprobe");
    if (rc != 0) return Fail(kExitInput, probeError);
    if (g_stop) return Fail(kExitInterrupted, "interrupted before the first frame; nothing was written");

    const int width = info.width & ~3;  // the library wants a multiple of 4
    const int height = info.height;
    if (width < 4) return Fail(kExitInput, "frames of " + std::to_string(info.width) + " pixels' width are too narrow");
    long total = info.frameCount;  // < 0: unknown, the bar shows a count only
    if (opts.maxFrames > 0 && (total < 0 || opts.maxFrames < total)) total = opts.maxFrames;
    if (info.still)
        std::fprintf(stderr, "vidra-segment: %s: %dx%d image\n", opts.input.c_str(), info.width, info.height);
    else
        std::fprintf(stderr, "vidra-segment: %s: %dx%d, %.3g fps, %s frames\n", opts.input.c_str(), info.width,
                     info.height, info.fps,
                     info.frameCount >= 0 ? std::to_string(info.frameCount).c_str() : "unknown number of");
    if (width != info.width)
        std::fprintf(stderr, "vidra-segment: width %d is not a multiple of 4: the rightmost %d column(s) are cropped (%dx%d)\n",
                     info.width, info.width - width, width, height);

    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<uint8_t> replacement;
    if (opts.background == BackgroundMode::Image) {
        rc = LoadCoverImage(opts.backgroundImage, width, height, replacement);
        if (rc == ENOENT) return NoFfmpeg("ffmpeg");
        if (rc != 0) return Fail(kExitInput, "cannot decode the background image '" + opts.backgroundImage + "'");
    }

    // From here on, fd 1 carries only the library's log.
    LogCapture log;
    std::string logError = log.Start(opts.logFile);
    if (!logError.empty()) return Fail(kExitFailure, logError);

    // The segmenter, created once for this frame size.
    const SegParams& base = opts.params == ModelParams::k640x480 ? kSegParams640x480 : kSegParams144x80;
    int32_t status;
    if (opts.params == ModelParams::k144x80 && opts.threads < 0) {
        status = VidraCreateWithPath(width, height, opts.frameType, opts.modelDir.c_str());
    } else {
        SegParams params = base;
        if (opts.threads >= 0) params.runModelType = opts.threads;
        status = VidraCreateWithPathPlus(width, height, opts.frameType, opts.modelDir.c_str(), &params);
    }
    log.Drain();
    if (status != 0) {
        VidraDestroy();
        return Fail(kExitCreate, "the segmenter could not be created (status " + std::to_string(status) +
                                     ") with model '" + base.modelName + "' in '" + opts.modelDir +
                                     "' (choose the model folder with --models DIR)");
    }

    const int step = opts.frameType == 2 ? 4 : 3;
    FrameReader reader;
    rc = reader.Open(ReaderArgs(opts.input, opts.inputArgs, info.width, info.height, width, step), pixels * step);
    if (rc == ENOENT) {
        VidraDestroy();
        return NoFfmpeg("ffmpeg");
    }
    for (int i = 0; i < 2; ++i) {
        Output* o = outputs[i];
        if (o->path.empty()) continue;
        std::string error = o->staged.Create(targets[i]);
        if (!error.empty()) {
            VidraDestroy();
            return Fail(kExitFailure, error);
        }
        const size_t bytes = pixels * (o->format == PixelFormat::Gray ? 1 : o->format == PixelFormat::Rgb ? 3 : 4);
        if (o->writer.Open(WriterArgs(o->staged.WritePath(), o->encoder, o->format, width, height, info.frameRate),
                           bytes) != 0) {
            VidraDestroy();
            return NoFfmpeg("ffmpeg");
        }
    }

    std::vector<uint8_t> frame(pixels * step), mask(pixels), out(pixels * (remove ? 4 : 3));
    std::vector<uint8_t> blurred, scratch;
    const int radius = opts.blurRadius > 0 ? opts.blurRadius : DefaultBlurRadius(width, height);
    const bool showBar = opts.progress == ProgressMode::On ||
                         (opts.progress == ProgressMode::Auto && isatty(STDERR_FILENO));
    ProgressBar bar(stderr, showBar, total);
    FrameTimes times;
    long frames = 0, skipped = 0, unknown = 0;
    bool inputEnded = false;
    int result = kExitOk;
    std::string failure;

    while (!g_stop && (opts.maxFrames == 0 || frames < opts.maxFrames)) {
        if (!reader.Read(frame.data())) {
            inputEnded = true;
            break;
        }
        auto t0 = std::chrono::steady_clock::now();
        int32_t fs = VidraFrameProcess(nullptr, frame.data(), mask.data());
        auto t1 = std::chrono::steady_clock::now();
        FrameLog kind = ClassifyFrameLog(log.Drain());
        if (fs != 0) {
            result = kExitFailure;
            failure = "VidraFrameProcess failed (status " + std::to_string(fs) + ") on frame " + std::to_string(frames + 1);
            break;
        }
        times.Add(std::chrono::duration<double, std::milli>(t1 - t0).count());
        ++frames;
        if (kind == FrameLog::Skipped) ++skipped;
        if (kind == FrameLog::Unknown) ++unknown;

        if (composite.writer.IsOpen()) {
            switch (opts.background) {
            case BackgroundMode::Blur:
                BlurBackground(frame.data(), width, height, step, radius, blurred, scratch);
                BlendOver(frame.data(), step, blurred.data(), mask.data(), pixels, out.data());
                break;
            case BackgroundMode::Image:
                BlendOver(frame.data(), step, replacement.data(), mask.data(), pixels, out.data());
                break;
            case BackgroundMode::Color:
                BlendOverColor(frame.data(), step, opts.color, mask.data(), pixels, out.data());
                break;
            case BackgroundMode::Remove:
                AttachAlpha(frame.data(), step, mask.data(), pixels, out.data());
                break;
            }
            if (!composite.writer.Write(out.data())) {
                result = kExitFailure;
                failure = "ffmpeg stopped taking frames for '" + composite.path + "'";
                break;
            }
        }
        if (maskOut.writer.IsOpen() && !maskOut.writer.Write(mask.data())) {
            result = kExitFailure;
            failure = "ffmpeg stopped taking frames for '" + maskOut.path + "'";
            break;
        }
        bar.Update(frames);
    }
    bar.Finish();

    const bool reachedMax = opts.maxFrames > 0 && frames >= opts.maxFrames;
    const bool interrupted = g_stop && !inputEnded && !reachedMax;
    const bool truncated = reader.Truncated();
    const int readStatus = reader.Close(!inputEnded);
    for (Output* o : outputs) {
        if (!o->writer.IsOpen()) continue;
        if (o->writer.Close() != 0 && result == kExitOk) {
            result = kExitFailure;
            failure = "ffmpeg could not write '" + o->path + "'";
        }
    }
    VidraDestroy();
    log.Stop();

    if (result == kExitOk && frames == 0) {
        result = interrupted ? kExitInterrupted : kExitInput;
        failure = interrupted ? "interrupted before the first frame; nothing was written"
                              : "no frame could be decoded from '" + opts.input + "'";
    }
    if (result == kExitOk && readStatus != 0 && inputEnded)
        std::fprintf(stderr, "vidra-segment: warning: ffmpeg reported an error decoding '%s' (status %d)\n",
                     opts.input.c_str(), readStatus);
    if (truncated) std::fprintf(stderr, "vidra-segment: warning: the input ended inside a frame; it was dropped\n");
    if (result == kExitOk && interrupted) {
        // A live source without --max-frames runs until it is stopped: that is its end.
        std::fprintf(stderr, "vidra-segment: interrupted after %ld frames\n", frames);
        if (!opts.liveInput || opts.maxFrames > 0) {
            result = kExitInterrupted;
            failure = "the run was interrupted: the outputs hold the first " + std::to_string(frames) + " frames";
        }
    }
    if (result == kExitOk && inputEnded && !opts.liveInput && info.frameCount > frames) {
        std::fprintf(stderr, "vidra-segment: warning: the input ended after %ld of its %ld frames\n", frames,
                     info.frameCount);
        result = kExitShortInput;
        failure = "the input ended early: the outputs hold " + std::to_string(frames) + " of " +
                  std::to_string(info.frameCount) + " frames";
    }

    // Complete, interrupted or short results are kept; a failed run keeps nothing.
    const bool keep = result == kExitOk || result == kExitInterrupted || result == kExitShortInput;
    for (Output* o : outputs) {
        if (o->path.empty()) continue;
        if (!keep) {
            o->staged.Discard();
            continue;
        }
        std::string error = o->staged.Commit();
        if (error.empty()) {
            std::fprintf(stderr, "vidra-segment: wrote %s\n", o->path.c_str());
        } else if (result != kExitFailure) {
            result = kExitFailure;
            failure = error;
        }
    }
    std::fprintf(stderr, "summary: %s\n", SummaryLine(frames, skipped, unknown, times).c_str());
    if (result != kExitOk) return Fail(result, failure);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options opts;
    std::string error = ParseOptions(argc, argv, opts);
    if (opts.help) {
        std::fputs(UsageText("vidra-segment", VIDRA_DEFAULT_MODEL_DIR).c_str(), stdout);
        DiscardStdout();
        return kExitOk;
    }
    if (!error.empty()) {
        DiscardStdout();
        std::fprintf(stderr, "vidra-segment: %s\nTry 'vidra-segment --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (opts.modelDir.empty()) opts.modelDir = VIDRA_DEFAULT_MODEL_DIR;
    return Run(opts);
}
