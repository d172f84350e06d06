// Progress bar and closing summary, both on standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace vseg {

// Milliseconds spent in each VidraFrameProcess call.
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

// "frames 120, skipped 95 by the keyframe test, ms per frame: mean 4.21, p95 6.80"
std::string SummaryLine(long frames, long skipped, long unknown, const FrameTimes& times);

// Where the wall time of the processing thread went, in seconds.
struct StageTimes {
    double waitDecode = 0;   // waiting for decoded frames
    double segment = 0;      // VidraFrameProcess, and the refinement
    double composite = 0;
    double waitEncode = 0;   // waiting for the encoders to take frames, and to finish
};

// "61.2 frames per second of wall time (300 frames in 4.90 s); ms per frame:
// waiting for decoded frames 1.20, segmentation 3.10, compositing 1.40,
// waiting for the encoder 10.60; 0 input frames dropped"
std::string TimingLine(long frames, double wallSeconds, const StageTimes& t, long dropped);

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
