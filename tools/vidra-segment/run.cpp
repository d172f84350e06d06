#include "run.h"

#include "compositor.h"
#include "file_identity.h"
#include "frame_sink.h"
#include "frame_source.h"
#include "log_capture.h"
#include "probe.h"
#include "progress.h"
#include "reader.h"
#include "staged_output.h"
#include "video_device.h"
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

namespace vseg {
namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

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

bool IsCharDevice(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Sources that deliver frames at their own pace, whether or not we keep up.
bool IsLiveInput(const Options& opts) {
    if (opts.liveInput || IsCharDevice(opts.input)) return true;
    for (const char* scheme : {"rtsp://", "rtsps://", "rtmp://", "rtmps://", "rtp://", "udp://", "srt://", "tcp://"})
        if (opts.input.rfind(scheme, 0) == 0) return true;
    return false;
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

// One output and what goes into it.
struct Output {
    const char* label;
    std::string path;
    PixelFormat format;
    EncoderChoice encoder;
    StagedOutput staged;   // unused for a device
    FrameSink sink;
};

bool IsPattern(const Output& o) { return o.encoder.image && o.path.find('%') != std::string::npos; }

size_t BytesPerPixel(PixelFormat f) { return f == PixelFormat::Gray ? 1 : f == PixelFormat::Rgba ? 4 : 3; }

// Identity checks of every file the run reads or writes; "" or the problem.
std::string CheckFiles(const Options& opts, Output* outputs[2], std::vector<FileIdentity>& targets) {
    std::vector<RunFile> files;
    auto add = [&](const char* label, const std::string& path, bool written, bool pattern, bool device) {
        RunFile f;
        f.label = label;
        f.path = path;
        f.written = written;
        f.pattern = pattern;
        f.device = device;
        files.push_back(f);
    };
    for (int i = 0; i < 2; ++i) {
        const Output& o = *outputs[i];
        add(o.label, o.path, true, IsPattern(o), o.encoder.device);
        NamePattern p;
        const std::string name = o.path.substr(o.path.find_last_of('/') + 1);  // npos + 1 = 0
        if (IsPattern(o) && !ParseNamePattern(name, p))
            return std::string(o.label) + " '" + o.path +
                   "': an image sequence takes one %d or %0Nd (N up to 9), and %% for a '%'";
    }
    add("the input", opts.input, false, false, true);
    add("the background", opts.background == BackgroundMode::Image ? opts.backgroundImage : "", false, false, false);
    add("--log", opts.logFile, true, false, false);
    std::string error = CheckRunFiles(files);
    targets = {files[0].id, files[1].id};
    return error;
}

// The parameter record with the command line's switches.
int32_t CreateSegmenter(const Options& opts, int width, int height, const SegParams& base) {
    const bool switches = opts.largestRegion || opts.noMaskBlur || opts.noSmooth || opts.threads >= 0;
    if (opts.params == ModelParams::k144x80 && !switches)
        return VidraCreateWithPath(width, height, opts.frameType, opts.modelDir.c_str());
    SegParams params = base;
    if (opts.threads >= 0) params.runModelType = opts.threads;
    if (opts.largestRegion) params.ConnectedComponentLabeling = true;
    if (opts.noMaskBlur) params.MaskBlur = false;
    if (opts.noSmooth) params.MultiFrameSmooth = false;
    return VidraCreateWithPathPlus(width, height, opts.frameType, opts.modelDir.c_str(), &params);
}

}  // namespace

int Run(const Options& opts) {
    InstallSignals();
    // Until the capture starts, what the library writes to fd 1 goes nowhere.
    DiscardStdout();

    const bool remove = opts.background == BackgroundMode::Remove;
    Output composite{"--output", opts.output, remove ? PixelFormat::Rgba : PixelFormat::Bgr, {}, {}, {}};
    Output maskOut{"--mask", opts.mask, PixelFormat::Gray, {}, {}, {}};
    Output* outputs[2] = {&composite, &maskOut};
    for (Output* o : outputs) {
        if (o->path.empty()) continue;
        o->encoder = ChooseEncoder(o->path, o->format, IsCharDevice(o->path));
        if (!o->encoder.error.empty()) return Fail(kExitUsage, o->encoder.error);
    }
    const bool live = IsLiveInput(opts);
    const bool dropWhenBehind = live || opts.realtime;
    const bool urlInput = opts.input.find("://") != std::string::npos;
    if (!opts.liveInput && !urlInput && !IsFile(opts.input))
        return Fail(kExitInput, "input not found: '" + opts.input + "'");
    if (opts.background == BackgroundMode::Image && !IsFile(opts.backgroundImage))
        return Fail(kExitInput, "background not found: '" + opts.backgroundImage + "'");
    for (Output* o : outputs) {
        if (!o->encoder.device) continue;
        std::string pixelFormat;
        std::string error = CheckVideoOutputDevice(o->path, pixelFormat);
        if (!error.empty()) return Fail(kExitInput, error);
        UseDevicePixelFormat(o->encoder, pixelFormat);
    }
    // Nothing is opened for writing before this check.
    std::vector<FileIdentity> targets;
    std::string fileError = CheckFiles(opts, outputs, targets);
    if (!fileError.empty()) return Fail(kExitUsage, fileError);
    if (opts.output.empty() && opts.mask.empty())
        std::fprintf(stderr, "vidra-segment: no --output or --mask given: frames are segmented and timed only\n");

    InputInfo info;
    std::string probeError;
    int rc = ProbeInput(opts.input, opts.inputArgs, !live, info, probeError);
    if (rc == ENOENT) return NoFfmpeg("ffprobe");
    if (rc != 0) return Fail(kExitInput, probeError);
    if (g_stop) return Fail(kExitInterrupted, "interrupted before the first frame; nothing was written");

    const int width = info.width, height = info.height;
    if (width < 2 || height < 2)
        return Fail(kExitInput, "frames of " + std::to_string(width) + "x" + std::to_string(height) + " are too small");
    long total = info.frameCount;  // < 0: unknown, the bar shows a count only
    if (opts.maxFrames > 0 && (total < 0 || opts.maxFrames < total)) total = opts.maxFrames;
    if (info.still)
        std::fprintf(stderr, "vidra-segment: %s: %dx%d image\n", opts.input.c_str(), width, height);
    else
        std::fprintf(stderr, "vidra-segment: %s: %dx%d, %.3g fps, %s frames%s\n", opts.input.c_str(), width, height,
                     info.fps, info.frameCount >= 0 ? std::to_string(info.frameCount).c_str() : "unknown number of",
                     dropWhenBehind ? " (live: frames are dropped when processing falls behind)" : "");

    // The background: a still picture once, or a video decoded beside the input.
    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<uint8_t> replacement;
    FrameSource backgroundVideo;
    if (opts.background == BackgroundMode::Image) {
        InputInfo bg;
        rc = ProbeInput(opts.backgroundImage, {}, false, bg, probeError);
        if (rc == ENOENT) return NoFfmpeg("ffprobe");
        if (rc != 0) return Fail(kExitInput, "cannot decode the background '" + opts.backgroundImage + "'");
        if (bg.still) {
            rc = LoadCoverImage(opts.backgroundImage, width, height, replacement);
            if (rc == ENOENT) return NoFfmpeg("ffmpeg");
            if (rc != 0) return Fail(kExitInput, "cannot decode the background '" + opts.backgroundImage + "'");
        }
    }
    const bool videoBackground = opts.background == BackgroundMode::Image && replacement.empty();

    // Audio goes along into outputs that hold it, from files only (a live
    // source opened twice would give two different streams).
    WriterStream stream;
    stream.width = width;
    stream.height = height;
    stream.frameRate = info.frameRate;
    stream.wallclock = dropWhenBehind;
    if (!opts.noAudio && !live && !composite.path.empty()) {
        const std::string codec = ProbeAudioCodec(opts.input, opts.inputArgs);
        if (!codec.empty()) {
            stream.audioArgs = AudioArgs(composite.encoder, codec);
            if (!stream.audioArgs.empty()) stream.audioInput = opts.input;
        }
    }

    const int step = opts.frameType == 2 ? 4 : 3;
    Compositor compositor;
    const int strength = opts.blurRadius > 0 ? opts.blurRadius : DefaultBlurStrength(width, height);
    std::string compError = compositor.Init(opts.background, width, height, step, strength, opts.color, opts.refine);
    if (!compError.empty()) return Fail(kExitUsage, compError);

    // From here on, fd 1 carries only the library's log.
    LogCapture log;
    std::string logError = log.Start(opts.logFile);
    if (!logError.empty()) return Fail(kExitFailure, logError);

    const SegParams& base = opts.params == ModelParams::k640x480 ? kSegParams640x480 : kSegParams144x80;
    const int32_t status = CreateSegmenter(opts, width, height, base);
    log.Drain();
    if (status != 0) {
        VidraDestroy();
        return Fail(kExitCreate, "the segmenter could not be created (status " + std::to_string(status) +
                                     ") with model '" + base.modelName + "' in '" + opts.modelDir +
                                     "' (choose the model folder with --models DIR)");
    }

    // A live source keeps only its newest frame; a file waits for us.
    FrameSource source;
    rc = source.Start(ReaderArgs(opts.input, opts.inputArgs, width, height, step, opts.realtime), pixels * step,
                      dropWhenBehind ? 1 : 3, dropWhenBehind);
    if (rc == 0 && videoBackground)
        rc = backgroundVideo.Start(LoopedCoverArgs(opts.backgroundImage, width, height, info.frameRate), pixels * 3,
                                   3, false);
    if (rc == ENOENT) {
        VidraDestroy();
        return NoFfmpeg("ffmpeg");
    }
    for (int i = 0; i < 2; ++i) {
        Output* o = outputs[i];
        if (o->path.empty()) continue;
        std::string writePath = o->path;
        if (!o->encoder.device) {
            std::string error = o->staged.Create(targets[i]);
            if (!error.empty()) {
                VidraDestroy();
                return Fail(kExitFailure, error);
            }
            writePath = o->staged.WritePath();
        }
        WriterStream s = stream;
        if (o != &composite) s.audioInput.clear();
        if (o->sink.Start(WriterArgs(writePath, o->encoder, o->format, s), pixels * BytesPerPixel(o->format), 2) != 0) {
            VidraDestroy();
            return NoFfmpeg("ffmpeg");
        }
    }

    std::vector<uint8_t> mask(pixels);
    const bool showBar = opts.progress == ProgressMode::On ||
                         (opts.progress == ProgressMode::Auto && isatty(STDERR_FILENO));
    ProgressBar bar(stderr, showBar, total);
    FrameTimes times;
    StageTimes stages;
    long frames = 0, skipped = 0, unknown = 0;
    bool inputEnded = false;
    int result = kExitOk;
    std::string failure;
    auto stopRequested = [] { return g_stop != 0; };
    const Clock::time_point start = Clock::now();

    while (!g_stop && (opts.maxFrames == 0 || frames < opts.maxFrames)) {
        Clock::time_point t0 = Clock::now();
        Frame* in = source.Next(stopRequested);
        Clock::time_point t1 = Clock::now();
        stages.waitDecode += Seconds(t0, t1);
        if (!in) {
            inputEnded = source.Ended();
            break;
        }
        const int32_t fs = VidraFrameProcess(nullptr, in->data(), mask.data());
        Clock::time_point t2 = Clock::now();
        const FrameLog kind = ClassifyFrameLog(log.Drain());
        if (fs != 0) {
            source.Done(in);
            result = kExitFailure;
            failure = "VidraFrameProcess failed (status " + std::to_string(fs) + ") on frame " + std::to_string(frames + 1);
            break;
        }
        times.Add(std::chrono::duration<double, std::milli>(t2 - t1).count());
        if (opts.refine && !compositor.RefineMask(in->data(), mask.data())) {
            source.Done(in);
            result = kExitFailure;
            failure = "the library could not refine the mask of frame " + std::to_string(frames + 1);
            break;
        }
        stages.segment += Seconds(t1, Clock::now());
        ++frames;
        if (kind == FrameLog::Skipped) ++skipped;
        if (kind == FrameLog::Unknown) ++unknown;

        if (composite.sink.IsOpen()) {
            Clock::time_point t3 = Clock::now();
            Frame* bg = videoBackground ? backgroundVideo.Next(stopRequested) : nullptr;
            Clock::time_point t4 = Clock::now();
            stages.waitDecode += Seconds(t3, t4);
            if (videoBackground && !bg) {
                source.Done(in);
                if (!g_stop) {
                    result = kExitFailure;
                    failure = "the background video '" + opts.backgroundImage + "' stopped decoding";
                }
                break;
            }
            Frame* out = composite.sink.Acquire();
            Clock::time_point t5 = Clock::now();
            stages.waitEncode += Seconds(t4, t5);
            const bool composed =
                compositor.Compose(in->data(), mask.data(), bg ? bg->data() : replacement.data(), out->data());
            if (bg) backgroundVideo.Done(bg);
            composite.sink.Push(out);  // a whole frame either way; a failed run's outputs are removed
            stages.composite += Seconds(t5, Clock::now());
            if (!composed) {
                source.Done(in);
                result = kExitFailure;
                failure = "the library could not composite frame " + std::to_string(frames);
                break;
            }
        }
        if (maskOut.sink.IsOpen()) {
            Clock::time_point t6 = Clock::now();
            Frame* out = maskOut.sink.Acquire();
            stages.waitEncode += Seconds(t6, Clock::now());
            std::memcpy(out->data(), mask.data(), pixels);
            maskOut.sink.Push(out);
        }
        source.Done(in);
        for (Output* o : outputs) {
            if (o->sink.IsOpen() && o->sink.Failed() && result == kExitOk) {
                result = kExitFailure;
                failure = "ffmpeg stopped taking frames for '" + o->path + "'";
            }
        }
        if (result != kExitOk) break;
        bar.Update(frames);
    }
    bar.Finish();

    const bool reachedMax = opts.maxFrames > 0 && frames >= opts.maxFrames;
    const bool interrupted = g_stop && !inputEnded && !reachedMax;
    const bool truncated = source.Truncated();
    const long dropped = source.Dropped();
    const int readStatus = source.Stop(!inputEnded);
    backgroundVideo.Stop(true);
    const Clock::time_point flushStart = Clock::now();
    for (Output* o : outputs) {
        if (!o->sink.IsOpen()) continue;
        if (o->sink.Finish() != 0 && result == kExitOk) {
            result = kExitFailure;
            failure = "ffmpeg could not write '" + o->path + "'";
        }
    }
    const Clock::time_point end = Clock::now();
    stages.waitEncode += Seconds(flushStart, end);
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
        if (!live || opts.maxFrames > 0) {
            result = kExitInterrupted;
            failure = "the run was interrupted: the outputs hold the first " + std::to_string(frames) + " frames";
        }
    }
    if (result == kExitOk && inputEnded && !live && info.frameCount > frames + dropped) {
        std::fprintf(stderr, "vidra-segment: warning: the input ended after %ld of its %ld frames\n",
                     frames + dropped, info.frameCount);
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
    std::fprintf(stderr, "summary: %s\n", TimingLine(frames, Seconds(start, end), stages, dropped).c_str());
    if (result != kExitOk) return Fail(result, failure);
    return kExitOk;
}

}  // namespace vseg
