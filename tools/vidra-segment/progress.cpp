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

std::string SummaryLine(long frames, long skipped, long unknown, const FrameTimes& times) {
    char text[256];
    std::snprintf(text, sizeof text, "frames %ld, skipped %ld by the keyframe test, ms per frame: mean %.2f, p95 %.2f",
                  frames, skipped, times.Mean(), times.Percentile(0.95));
    std::string line = text;
    if (unknown > 0) line += " (" + std::to_string(unknown) + " frames logged no keyframe decision)";
    return line;
}

std::string TimingLine(long frames, double wallSeconds, const StageTimes& t, long dropped) {
    const double n = frames > 0 ? static_cast<double>(frames) : 1.0;
    char text[400];
    std::snprintf(text, sizeof text,
                  "%.1f frames per second of wall time (%ld frames in %.2f s); ms per frame: waiting for decoded "
                  "frames %.2f, segmentation %.2f, compositing %.2f, waiting for the encoder %.2f; "
                  "%ld input frames dropped",
                  wallSeconds > 0 ? frames / wallSeconds : 0.0, frames, wallSeconds, 1000 * t.waitDecode / n,
                  1000 * t.segment / n, 1000 * t.composite / n, 1000 * t.waitEncode / n, dropped);
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
