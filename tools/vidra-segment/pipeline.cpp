#include "pipeline.h"

#include "options.h"
#include "platform/interrupt.h"

namespace vseg {
namespace {

struct Loop {
    const PipelineParts& p;
    PipelineResult r;
    std::vector<uint8_t> mask, composite;
    bool wantComposite = false;
    long lastIndex = -1;

    bool Fail(const std::string& why) {
        r.status = kExitFailure;
        r.failure = why;
        return false;
    }

    // One frame through every stage; false ends the loop.
    bool Step() {
        StageClock& clock = *p.clock;
        const auto stop = [] { return Interrupted(); };
        Frame* in = p.source->Next(stop);
        clock.Lap(Stage::WaitInput);
        if (!in) {
            r.inputEnded = p.source->Ended();
            return false;
        }
        const long number = r.frames + 1;
        const long slots = p.paced ? in->index - lastIndex : 1;
        lastIndex = in->index;
        const bool ok = Process(*in, number, slots);
        p.source->Done(in);
        return ok;
    }

    bool Process(const Frame& in, long number, long slots) {
        StageClock& clock = *p.clock;
        VidraFrameInfo info;
        const int32_t status = p.segmentation->Process(number, in.data(), mask.data(), info);
        if (status != VIDRA_STATUS_OK)
            return Fail("the library could not segment frame " + std::to_string(number) + " (status " +
                        std::to_string(status) + ", " + VidraStatusString(status) + ")");
        if (p.refine && !p.compositor->RefineMask(in.data(), mask.data()))
            return Fail("the library could not refine the mask of frame " + std::to_string(number));
        clock.Lap(Stage::Segment);

        ProcessedFrame out;
        out.number = number;
        out.slots = slots;
        out.frame = in.data();
        out.mask = mask.data();
        if (wantComposite) {
            const uint8_t* bg = p.background->Used() ? p.background->Next([] { return Interrupted(); }) : nullptr;
            clock.Lap(Stage::WaitInput);
            if (p.background->Used() && !bg) {
                if (Interrupted()) return false;
                return Fail("the background video stopped decoding");
            }
            const bool composed = p.compositor->Compose(in.data(), mask.data(), bg, composite.data());
            p.background->Done();
            clock.Lap(Stage::Composite);
            if (!composed) return Fail("the library could not composite frame " + std::to_string(number));
            out.composite = composite.data();
        }
        for (auto& o : *p.outputs)
            if (!o->Write(out)) return Fail("ffmpeg stopped taking frames for '" + o->Path() + "'");
        clock.Lap(Stage::Write);
        // Counted once every output has it: the count is what the outputs hold.
        ++r.frames;
        if (!info.networkRan) ++r.skipped;
        r.library.total.Add(info.totalMs);
        r.library.input += info.inputMs;
        r.library.network += info.inferenceMs;
        r.library.mask += info.postprocessMs;
        p.bar->Update(r.frames);
        return true;
    }
};

}  // namespace

PipelineResult RunPipeline(const PipelineParts& parts) {
    Loop loop{parts, {}, std::vector<uint8_t>(parts.pixels), {}, false, -1};
    for (auto& o : *parts.outputs) loop.wantComposite = loop.wantComposite || o->TakesComposite();
    if (loop.wantComposite) loop.composite.resize(parts.pixels * 4);
    while (!Interrupted() && (parts.maxFrames == 0 || loop.r.frames < parts.maxFrames) && loop.Step()) {
    }
    parts.bar->Finish();
    return loop.r;
}

}  // namespace vseg
