#include "run.h"

#include "background.h"
#include "compositor.h"
#include "frame_source.h"
#include "log_file.h"
#include "output_plan.h"
#include "pipeline.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/thread_time.h"
#include "probe.h"
#include "progress.h"
#include "reader.h"
#include "run_status.h"
#include "segmentation.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vseg {
namespace {

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "vidra-segment: %s\n", message.c_str());
    return code;
}

int NoFfmpeg(const char* program) {
    return Fail(kExitNoFfmpeg, std::string(program) + " not found on PATH (install Debian's ffmpeg package)");
}

void DescribeInput(const Options& opts, const InputInfo& info, bool dropWhenBehind) {
    if (info.still) {
        std::fprintf(stderr, "vidra-segment: %s: %dx%d image\n", opts.input.c_str(), info.width, info.height);
        return;
    }
    std::fprintf(stderr, "vidra-segment: %s: %dx%d, %.3g fps, %s frames%s\n", opts.input.c_str(), info.width,
                 info.height, info.fps,
                 info.frameCount >= 0 ? std::to_string(info.frameCount).c_str() : "unknown number of",
                 dropWhenBehind ? " (live: frames are dropped when processing falls behind)" : "");
}

}  // namespace

int Run(const Options& opts, std::chrono::steady_clock::time_point started) {
    StageClock clock(started, ThreadCpuSeconds);
    InstallInterruptHandlers();

    std::vector<OutputSpec> specs;
    std::string why;
    const int checked = CheckRun(opts, specs, why);  // nothing is opened for writing before this
    if (checked != kExitOk) return Fail(checked, why);
    if (specs.empty())
        std::fprintf(stderr, "vidra-segment: no --output or --mask given: frames are segmented and timed only\n");

    const bool live = IsLiveInput(opts);
    const bool dropWhenBehind = live || opts.realtime;
    // A file read in real time is paced here from its own frame rate, and
    // written by frame number, not by arrival: its spacing and its sound stay.
    const bool paced = opts.realtime && !live;
    InputInfo info;
    const ProbeResult probed = ProbeInput(opts.input, opts.inputArgs, !live, info, why);
    if (probed == ProbeResult::NoProgram) return NoFfmpeg("ffprobe");
    if (probed != ProbeResult::Ok) return Fail(kExitInput, why);
    if (Interrupted()) return Fail(kExitInterrupted, "interrupted before the first frame; nothing was written");
    const int width = info.width, height = info.height;
    if (width < 2 || height < 2)
        return Fail(kExitInput, "frames of " + std::to_string(width) + "x" + std::to_string(height) + " are too small");
    DescribeInput(opts, info, dropWhenBehind);

    Background background;
    if (opts.background == BackgroundMode::Image) {
        const int rc = background.Prepare(opts.backgroundImage, width, height, why);
        if (rc != kExitOk) return rc == kExitNoFfmpeg ? NoFfmpeg("ffmpeg") : Fail(rc, why);
    }
    const int step = opts.frameType == 2 ? 4 : 3;
    Compositor compositor;
    const int strength = opts.blurRadius > 0 ? opts.blurRadius : DefaultBlurStrength(width, height);
    why = compositor.Init(opts.background, width, height, step, strength, opts.color, opts.refine);
    if (!why.empty()) return Fail(kExitUsage, why);

    // The log is opened (and emptied) only once the input is known good.
    LogFile log;
    if (!opts.logFile.empty()) {
        why = log.Open(opts.logFile);
        if (!why.empty()) return Fail(kExitFailure, why);
    }
    Segmentation segmentation;
    const int32_t created = segmentation.Create(opts, width, height, &log, why);
    if (created != VIDRA_STATUS_OK) {
        return Fail(kExitCreate, "the segmenter could not be created from '" + opts.modelDir + "' (status " +
                                     std::to_string(created) + ", " + VidraStatusString(created) + ")" +
                                     (why.empty() ? "" : ": " + why) +
                                     "; choose the model folder or file with --models");
    }

    // A live source keeps only its newest frame; a file waits for us.
    const size_t pixels = static_cast<size_t>(width) * height;
    FrameSource source;
    SpawnError rc = source.Start(ReaderArgs(opts.input, opts.inputArgs, width, height, step,
                                            paced ? info.frameRate : ""),
                                 pixels * step, dropWhenBehind ? 1 : 3, dropWhenBehind, paced ? info.fps : 0);
    if (rc == SpawnError::None) rc = background.Start(info.frameRate);
    if (rc == SpawnError::NotFound) return NoFfmpeg("ffmpeg");
    if (rc != SpawnError::None) return Fail(kExitFailure, "cannot start ffmpeg");

    // Sound goes along from files only: a live source opened twice would give two different streams.
    StreamInfo stream;
    stream.width = width;
    stream.height = height;
    stream.frameRate = info.frameRate;
    stream.wallclock = dropWhenBehind && !paced;
    if (!opts.noAudio && !live && !opts.output.empty()) {
        stream.audioCodec = ProbeAudioCodec(opts.input, opts.inputArgs);
        if (!stream.audioCodec.empty()) stream.audioInput = opts.input;
    }
    std::vector<std::unique_ptr<FrameOutput>> outputs = MakeOutputs(specs);
    for (auto& o : outputs) {
        const OutputFailure failed = o->Open(stream, why);
        if (failed == OutputFailure::NoFfmpeg) return NoFfmpeg("ffmpeg");
        if (failed != OutputFailure::None) return Fail(kExitFailure, why);
    }

    long total = info.frameCount;  // < 0: unknown, the bar shows a count only
    if (opts.maxFrames > 0 && (total < 0 || opts.maxFrames < total)) total = opts.maxFrames;
    const bool showBar = opts.progress == ProgressMode::On ||
                         (opts.progress == ProgressMode::Auto && StderrIsTerminal());
    ProgressBar bar(stderr, showBar, total);
    clock.Lap(Stage::StartUp);

    PipelineParts parts;
    parts.source = &source;
    parts.paced = paced;
    parts.segmentation = &segmentation;
    parts.compositor = &compositor;
    parts.refine = opts.refine;
    parts.background = &background;
    parts.outputs = &outputs;
    parts.clock = &clock;
    parts.bar = &bar;
    parts.maxFrames = opts.maxFrames;
    parts.pixels = pixels;
    const PipelineResult result = RunPipeline(parts);

    RunEnd end;
    end.status = result.status;
    end.failure = result.failure;
    end.input = opts.input;
    end.frames = result.frames;
    end.inputEnded = result.inputEnded;
    end.live = live;
    end.maxFramesGiven = opts.maxFrames > 0;
    end.interrupted = Interrupted() && !result.inputEnded && !(end.maxFramesGiven && result.frames >= opts.maxFrames);
    end.announced = info.frameCount;
    const bool truncated = source.Truncated();
    const ProcessStatus reader = source.Stop(!result.inputEnded);
    end.dropped = source.Dropped();
    if (result.inputEnded) {
        end.readerOk = reader.Ok();
        end.readerStory = Describe(reader);
        end.readerErrors = source.ErrorTail();
    }
    background.Stop();
    for (auto& o : outputs) {
        why = o->Finish();
        if (!why.empty() && end.status == kExitOk) {
            end.status = kExitFailure;
            end.failure = why;
        }
    }
    segmentation.Destroy();

    const Verdict verdict = JudgeRun(end);
    int status = verdict.status;
    std::string message = verdict.message;
    if (truncated) std::fprintf(stderr, "vidra-segment: warning: the input ended inside a frame; it was dropped\n");
    for (const std::string& note : verdict.notes) std::fprintf(stderr, "vidra-segment: %s\n", note.c_str());

    // Complete, interrupted, short or failed-source results are kept; a failed
    // run keeps nothing; an output with no frame never replaces anything.
    const bool keep = status == kExitOk || status == kExitInterrupted || status == kExitShortInput ||
                      status == kExitSourceFailed;
    for (auto& o : outputs) {
        if (!keep) {
            o->Discard();
            continue;
        }
        why = o->Commit(result.frames);
        if (!why.empty() && status != kExitFailure) {
            status = kExitFailure;
            message = why;
        } else if (why.empty() && result.frames > 0) {
            std::fprintf(stderr, "vidra-segment: wrote %s\n", o->Path().c_str());
        }
    }
    clock.Lap(Stage::Finish);
    std::fprintf(stderr, "summary: %s\n", SummaryLine(result.frames, result.skipped, result.library).c_str());
    std::fprintf(stderr, "summary: %s\n", TimingLine(result.frames, info.still, clock, end.dropped).c_str());
    std::fprintf(stderr, "summary: %s\n", WholeRunLine(clock).c_str());
    if (status != kExitOk) return Fail(status, message);
    return kExitOk;
}

}  // namespace vseg
