#include "progress.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vseg {

double FrameTimes::Mean() const {
    if (ms_.empty()) return 0.0;
    return std::accumulate(ms_.begin(), ms_.end(), 0.0) / static_cast<double>(ms_.size());
}

double FrameTimes::Percentile(double p) const {
    if (ms_.empty()) return 0.0;
    std::vector<double> sorted = ms_;
    std::sort(sorted.begin(), sorted.end());
    size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    rank = std::min(std::max<size_t>(rank, 1), sorted.size());
    return sorted[rank - 1];
}

std::string SummaryLine(long frames, long skipped, const LibraryTimes& t) {
    const double n = frames > 0 ? static_cast<double>(frames) : 1.0;
    char text[300];
    std::snprintf(text, sizeof text,
                  "frames %ld, skipped %ld by the keyframe test, ms per frame: mean %.2f, p95 %.2f; "
                  "in the library: input %.2f, network %.2f, mask %.2f",
                  frames, skipped, t.total.Mean(), t.total.Percentile(0.95), t.input / n, t.network / n, t.mask / n);
    return text;
}

StageClock::StageClock(Clock::time_point start, double (*cpuSeconds)())
    : last_(start), cpuSeconds_(cpuSeconds), lastCpu_(cpuSeconds ? cpuSeconds() : 0) {}

void StageClock::Lap(Stage stage) {
    const Clock::time_point now = Clock::now();
    seconds_[static_cast<int>(stage)] += std::chrono::duration<double>(now - last_).count();
    last_ = now;
    if (!cpuSeconds_) return;
    const double cpu = cpuSeconds_();
    cpu_[static_cast<int>(stage)] += cpu - lastCpu_;
    lastCpu_ = cpu;
}

double StageClock::Total() const {
    double total = 0;
    for (double s : seconds_) total += s;
    return total;
}

std::string TimingLine(long frames, bool still, const StageClock& c, long dropped) {
    const double frameSeconds = c.Seconds(Stage::WaitInput) + c.Seconds(Stage::Segment) +
                                c.Seconds(Stage::Composite) + c.Seconds(Stage::Write);
    const double n = frames > 0 ? static_cast<double>(frames) : 1.0;
    char stages[300];
    std::snprintf(stages, sizeof stages,
                  "waiting for decoded frames %.2f, segmentation %.2f, compositing %.2f (processor %.2f), "
                  "writing %.2f",
                  1000 * c.Seconds(Stage::WaitInput) / n, 1000 * c.Seconds(Stage::Segment) / n,
                  1000 * c.Seconds(Stage::Composite) / n,
                  1000 * c.CpuSeconds(Stage::Composite) / n, 1000 * c.Seconds(Stage::Write) / n);
    char text[600];
    if (still && frames == 1)
        std::snprintf(text, sizeof text, "the image took %.2f s; ms: %s", frameSeconds, stages);
    else
        std::snprintf(text, sizeof text,
                      "%.1f frames per second of wall time (%ld frames in %.2f s); ms per frame: %s; "
                      "%ld input frames dropped",
                      frameSeconds > 0 ? frames / frameSeconds : 0.0, frames, frameSeconds, stages, dropped);
    return text;
}

std::string WholeRunLine(const StageClock& c) {
    const double frameSeconds = c.Total() - c.Seconds(Stage::StartUp) - c.Seconds(Stage::Finish);
    char text[300];
    std::snprintf(text, sizeof text,
                  "the whole run took %.2f s: start-up %.2f s (probing, the model, starting ffmpeg), "
                  "frames %.2f s, finishing %.2f s (flushing the encoders, putting the outputs in place)",
                  c.Total(), c.Seconds(Stage::StartUp), frameSeconds, c.Seconds(Stage::Finish));
    return text;
}

void ProgressBar::Update(long done) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (drawn_ && done != total_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    Draw(done);
}

void ProgressBar::Draw(long done) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double fps = seconds > 0 ? done / seconds : 0.0;
    if (total_ > 0) {
        const int width = 30;
        long shown = std::min(done, total_);
        int filled = static_cast<int>(width * shown / total_);
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(width - filled), '.');
        std::fprintf(out_, "\r[%s] %ld/%ld %3ld%% %6.1f fps", bar.c_str(), shown, total_, 100 * shown / total_, fps);
    } else {
        std::fprintf(out_, "\rframes %ld  %6.1f fps", done, fps);
    }
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (enabled_ && drawn_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    drawn_ = false;
}

}  // namespace vseg
