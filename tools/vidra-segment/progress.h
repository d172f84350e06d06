// Progress bar and closing summary, both on standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace vseg {

// Milliseconds per frame of one quantity.
class FrameTimes {
public:
    void Add(double ms) { ms_.push_back(ms); }
    size_t Count() const { return ms_.size(); }
    double Mean() const;
    // Nearest-rank percentile, p in (0, 1]; 0 when empty.
    double Percentile(double p) const;

private:
    std::vector<double> ms_;
};

// What the library reported per frame (VidraFrameInfo).
struct LibraryTimes {
    FrameTimes total;                  // whole calls
    double input = 0, network = 0, mask = 0;  // sums in ms
    long networkRuns = 0;
};

// "frames 120, skipped 95 by the keyframe test, ms per frame: mean 4.21, p95
// 6.80; in the library: input 0.30, network 2.10 (per frame), mask 0.52"
std::string SummaryLine(long frames, long skipped, const LibraryTimes& times);

// Where the run's wall time went. Every moment of the run belongs to exactly
// one stage: a lap gives the time since the previous lap to its stage, so the
// stages add up to the whole run.
enum class Stage { StartUp, WaitInput, Segment, Composite, Write, Finish, Count };

// Each stage also gets the processor time the lapping thread used in it.
class StageClock {
public:
    using Clock = std::chrono::steady_clock;
    StageClock(Clock::time_point start, double (*cpuSeconds)() = nullptr);
    void Lap(Stage stage);
    double Seconds(Stage stage) const { return seconds_[static_cast<int>(stage)]; }
    double CpuSeconds(Stage stage) const { return cpu_[static_cast<int>(stage)]; }
    double Total() const;

private:
    Clock::time_point last_;
    double (*cpuSeconds_)();
    double lastCpu_ = 0;
    double seconds_[static_cast<int>(Stage::Count)] = {};
    double cpu_[static_cast<int>(Stage::Count)] = {};
};

// "61.2 frames per second of wall time (300 frames in 4.90 s); ms per frame:
// waiting for decoded frames 1.20, segmentation 3.10, compositing 1.40
// (processor 1.10), writing 10.60; 0 input frames dropped" (segmentation's
// processor time would leave out the engine's own threads).
// (an image: "the image took ...").
std::string TimingLine(long frames, bool still, const StageClock& clock, long dropped);

// "the whole run took 6.25 s: start-up 1.20 s (...), frames 4.90 s, finishing 0.15 s (...)"
std::string WholeRunLine(const StageClock& clock);

class ProgressBar {
public:
    ProgressBar(FILE* out, bool enabled, long total) : out_(out), enabled_(enabled), total_(total) {}
    // Redraws at most ten times a second (and always for the last frame).
    void Update(long done);
    // Ends the bar's line.
    void Finish();

private:
    void Draw(long done);
    FILE* out_;
    bool enabled_;
    long total_;  // <= 0: unknown
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace vseg
