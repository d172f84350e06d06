#include "run_status.h"

#include "options.h"

namespace vseg {

bool EndedEarly(long announced, long got) { return announced > 0 && got + 1 < announced; }

Verdict JudgeRun(const RunEnd& e) {
    Verdict v;
    v.status = e.status;
    v.message = e.failure;
    if (v.status != kExitOk) return v;
    const std::string errors = e.readerErrors.empty() ? "" : " (ffmpeg: " + e.readerErrors + ")";
    const std::string frames = std::to_string(e.frames);
    if (e.inputEnded && !e.readerOk) {
        const std::string what = "the ffmpeg reader of '" + e.input + "' " + e.readerStory + errors;
        if (e.frames == 0) return {kExitInput, what + ": no frame was read", {}};
        return {kExitSourceFailed, what + ": the outputs hold the " + frames + " frames read before", {}};
    }
    if (e.frames == 0) {
        if (e.interrupted) return {kExitInterrupted, "interrupted before the first frame; nothing was written", {}};
        return {kExitInput, "no frame could be decoded from '" + e.input + "'" + errors, {}};
    }
    if (e.interrupted) {
        v.notes.push_back("interrupted after " + frames + " frames");
        // A live source without --max-frames runs until it is stopped: that is its end.
        if (!e.live || e.maxFramesGiven) {
            v.status = kExitInterrupted;
            v.message = "the run was interrupted: the outputs hold the first " + frames + " frames";
        }
        return v;
    }
    if (e.inputEnded && !e.live && EndedEarly(e.announced, e.frames + e.dropped)) {
        const std::string counts = std::to_string(e.frames + e.dropped) + " of its " + std::to_string(e.announced);
        v.notes.push_back("warning: the input ended after " + counts + " frames" + errors);
        v.status = kExitShortInput;
        v.message = "the input ended early: the outputs hold " + frames + " of " + std::to_string(e.announced) +
                    " frames";
    }
    return v;
}

}  // namespace vseg
