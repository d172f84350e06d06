#include "run.h"

#include "background.h"
#include "compositor.h"
#include "ffmpeg_options.h"
#include "frame_source.h"
#include "log_file.h"
#include "output_plan.h"
#include "pipeline.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/process.h"
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
    return Fail(kExitNoFfmpeg, std::string(program) + " not found on PATH (" + FfmpegInstallHint() + ")");
}

// The stages of one run, declared in the order they are set up (and torn
// down in reverse: the log outlives the segmenter that writes to it).
class Stages {
public:
    Stages(const Options& opts, std::chrono::steady_clock::time_point started)
        : opts_(opts), clock_(started, ThreadCpuSeconds) {}
    // Checks, probing, the background, the compositor, the log and the segmenter.
    int Prepare();
    // The reader, a background video and the outputs.
    int Start();
    PipelineResult Process();
    // Stops everything, says how the run ended and puts the outputs in place.
    int End(const PipelineResult& result);

private:
    void DescribeInput() const;

    const Options& opts_;
    StageClock clock_;
    std::vector<OutputSpec> specs_;
    bool live_ = false, dropWhenBehind_ = false, paced_ = false;
    InputInfo info_;
    int step_ = 3;
    Background background_;
    Compositor compositor_;
    LogFile log_;
    Segmentation segmentation_;
    FrameSource source_;
    std::vector<std::unique_ptr<FrameOutput>> outputs_;
};

void Stages::DescribeInput() const {
    if (info_.still) {
        std::fprintf(stderr, "vidra-segment: %s: %dx%d image\n", opts_.input.c_str(), info_.width, info_.height);
        return;
    }
    std::fprintf(stderr, "vidra-segment: %s: %dx%d, %.3g fps, %s frames%s\n", opts_.input.c_str(), info_.width,
                 info_.height, info_.fps,
                 info_.frameCount >= 0 ? std::to_string(info_.frameCount).c_str() : "unknown number of",
                 dropWhenBehind_ ? " (live: frames are dropped when processing falls behind)" : "");
}

int Stages::Prepare() {
    std::string why;
    const int checked = CheckRun(opts_, specs_, why);  // nothing is opened for writing before this
    if (checked != kExitOk) return Fail(checked, why);
    if (specs_.empty())
        std::fprintf(stderr, "vidra-segment: no --output or --mask given: frames are segmented and timed only\n");

    live_ = IsLiveInput(opts_);
    dropWhenBehind_ = live_ || opts_.realtime;
    // A file read in real time is paced here from its own frame rate, and
    // written by frame number, not by arrival: its spacing and its sound stay.
    paced_ = opts_.realtime && !live_;
    const ProbeResult probed = ProbeInput(opts_.input, opts_.inputArgs, !live_, info_, why);
    if (probed == ProbeResult::NoProgram) return NoFfmpeg("ffprobe");
    if (probed != ProbeResult::Ok) return Fail(kExitInput, why);
    if (Interrupted()) return Fail(kExitInterrupted, "interrupted before the first frame; nothing was written");
    const int width = info_.width, height = info_.height;
    if (width < 2 || height < 2)
        return Fail(kExitInput, "frames of " + std::to_string(width) + "x" + std::to_string(height) + " are too small");
    DescribeInput();

    if (opts_.background == BackgroundMode::Image) {
        const int rc = background_.Prepare(opts_.backgroundImage, width, height, why);
        if (rc != kExitOk) return rc == kExitNoFfmpeg ? NoFfmpeg("ffmpeg") : Fail(rc, why);
    }
    step_ = opts_.frameType == 2 ? 4 : 3;
    const int strength = opts_.blurRadius > 0 ? opts_.blurRadius : DefaultBlurStrength(width, height);
    why = compositor_.Init(opts_.background, width, height, step_, strength, opts_.color, opts_.refine);
    if (!why.empty()) return Fail(kExitUsage, why);

    // The log is opened (and emptied) only once the input is known good.
    if (!opts_.logFile.empty()) {
        why = log_.Open(opts_.logFile);
        if (!why.empty()) return Fail(kExitFailure, why);
    }
    const int32_t created = segmentation_.Create(opts_, width, height, &log_, why);
    if (created == VIDRA_STATUS_OK) return kExitOk;
    return Fail(kExitCreate, "the segmenter could not be created from '" + opts_.modelDir + "' (status " +
                                 std::to_string(created) + ", " + VidraStatusString(created) + ")" +
                                 (why.empty() ? "" : ": " + why) + "; choose the model folder or file with --models");
}

int Stages::Start() {
    // A live source keeps only its newest frame; a file waits for us.
    const size_t pixels = static_cast<size_t>(info_.width) * info_.height;
    LearnFfmpegOptions();
    SpawnError rc = source_.Start(ReaderArgs(opts_.input, opts_.inputArgs, info_.width, info_.height, step_,
                                             paced_ ? info_.frameRate : ""),
                                  pixels * step_, dropWhenBehind_ ? 1 : 3, dropWhenBehind_, paced_ ? info_.fps : 0);
    if (rc == SpawnError::None) rc = background_.Start(info_.frameRate);
    if (rc == SpawnError::NotFound) return NoFfmpeg("ffmpeg");
    if (rc != SpawnError::None) return Fail(kExitFailure, "cannot start ffmpeg");

    // Sound goes along from files only: a live source opened twice would give two different streams.
    StreamInfo stream;
    stream.width = info_.width;
    stream.height = info_.height;
    stream.frameRate = info_.frameRate;
    stream.wallclock = dropWhenBehind_ && !paced_;
    if (!opts_.noAudio && !live_ && !opts_.output.empty()) {
        stream.audioCodec = ProbeAudioCodec(opts_.input, opts_.inputArgs);
        if (!stream.audioCodec.empty()) stream.audioInput = opts_.input;
    }
    outputs_ = MakeOutputs(specs_);
    for (auto& o : outputs_) {
        std::string why;
        const OutputFailure failed = o->Open(stream, why);
        if (failed == OutputFailure::NoFfmpeg) return NoFfmpeg("ffmpeg");
        if (failed != OutputFailure::None) return Fail(kExitFailure, why);
    }
    return kExitOk;
}

PipelineResult Stages::Process() {
    long total = info_.frameCount;  // < 0: unknown, the bar shows a count only
    if (opts_.maxFrames > 0 && (total < 0 || opts_.maxFrames < total)) total = opts_.maxFrames;
    const bool showBar = opts_.progress == ProgressMode::On ||
                         (opts_.progress == ProgressMode::Auto && StderrIsTerminal());
    ProgressBar bar(stderr, showBar, total);
    clock_.Lap(Stage::StartUp);

    PipelineParts parts;
    parts.source = &source_;
    parts.paced = paced_;
    parts.segmentation = &segmentation_;
    parts.compositor = &compositor_;
    parts.refine = opts_.refine;
    parts.background = &background_;
    parts.outputs = &outputs_;
    parts.clock = &clock_;
    parts.bar = &bar;
    parts.maxFrames = opts_.maxFrames;
    parts.pixels = static_cast<size_t>(info_.width) * info_.height;
    return RunPipeline(parts);
}

int Stages::End(const PipelineResult& result) {
    RunEnd end;
    end.status = result.status;
    end.failure = result.failure;
    end.input = opts_.input;
    end.frames = result.frames;
    end.inputEnded = result.inputEnded;
    end.live = live_;
    end.maxFramesGiven = opts_.maxFrames > 0;
    end.interrupted = Interrupted() && !result.inputEnded && !(end.maxFramesGiven && result.frames >= opts_.maxFrames);
    end.announced = info_.frameCount;
    const bool truncated = source_.Truncated();
    const ProcessStatus reader = source_.Stop(!result.inputEnded);
    end.dropped = source_.Dropped();
    if (result.inputEnded) {
        end.readerOk = reader.Ok();
        end.readerStory = Describe(reader);
        end.readerErrors = source_.ErrorTail();
    }
    background_.Stop();
    for (auto& o : outputs_) {
        const std::string why = o->Finish();
        if (!why.empty() && end.status == kExitOk) {
            end.status = kExitFailure;
            end.failure = why;
        }
    }
    segmentation_.Destroy();

    const Verdict verdict = JudgeRun(end);
    int status = verdict.status;
    std::string message = verdict.message;
    if (truncated) std::fprintf(stderr, "vidra-segment: warning: the input ended inside a frame; it was dropped\n");
    for (const std::string& note : verdict.notes) std::fprintf(stderr, "vidra-segment: %s\n", note.c_str());

    // Complete, interrupted, short or failed-source results are kept; a failed
    // run keeps nothing; an output with no frame never replaces anything.
    const bool keep = status == kExitOk || status == kExitInterrupted || status == kExitShortInput ||
                      status == kExitSourceFailed;
    for (auto& o : outputs_) {
        if (!keep) {
            o->Discard();
            continue;
        }
        const std::string why = o->Commit(result.frames);
        if (!why.empty() && status != kExitFailure) {
            status = kExitFailure;
            message = why;
        } else if (why.empty() && result.frames > 0) {
            std::fprintf(stderr, "vidra-segment: wrote %s\n", o->Path().c_str());
        }
    }
    clock_.Lap(Stage::Finish);
    std::fprintf(stderr, "summary: %s\n", SummaryLine(result.frames, result.skipped, result.library).c_str());
    std::fprintf(stderr, "summary: %s\n", TimingLine(result.frames, info_.still, clock_, end.dropped).c_str());
    std::fprintf(stderr, "summary: %s\n", WholeRunLine(clock_).c_str());
    return status == kExitOk ? kExitOk : Fail(status, message);
}

}  // namespace

int Run(const Options& opts, std::chrono::steady_clock::time_point started) {
    InstallInterruptHandlers();
    Stages stages(opts, started);
    int status = stages.Prepare();
    if (status == kExitOk) status = stages.Start();
    if (status != kExitOk) return status;
    return stages.End(stages.Process());
}

}  // namespace vseg
