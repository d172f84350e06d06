// Decoded frames read on a thread of their own, so that decoding overlaps
// segmentation and compositing.
#pragma once

#include "frame_queue.h"
#include "reader.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace vseg {

class FrameSource {
public:
    FrameSource() = default;
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;
    ~FrameSource() { Stop(true); }

    // Starts ffmpeg with args and the reading thread. At most `capacity`
    // frames wait; dropWhenBehind keeps only the newest ones instead of
    // pausing the decoder. paceFps > 0 hands frame n over no earlier than
    // n / paceFps seconds after frame 0, as a live source would deliver it.
    SpawnError Start(const std::vector<std::string>& args, size_t frameBytes, size_t capacity,
                     bool dropWhenBehind, double paceFps = 0);
    // The next frame, or null at the input's end or when stop() turns true.
    Frame* Next(const std::function<bool()>& stop = nullptr) { return queue_ ? queue_->Pop(stop) : nullptr; }
    // Gives a frame from Next back.
    void Done(Frame* frame) { queue_->Release(frame); }
    // Ends reading (killing ffmpeg when early) and says how ffmpeg ended.
    ProcessStatus Stop(bool early);

    bool Ended() const { return ended_; }  // the input reached its end
    bool Truncated() const { return reader_.Truncated(); }
    long Dropped() const { return dropped_ + (queue_ ? queue_->Dropped() : 0); }
    std::string ErrorTail() const { return reader_.ErrorTail(); }

private:
    void Pace(long index);

    FrameReader reader_;
    std::unique_ptr<FrameQueue> queue_;
    std::thread thread_;
    std::atomic<bool> ended_{false}, stopping_{false};
    double paceFps_ = 0;
    std::chrono::steady_clock::time_point firstFrame_;
    long dropped_ = 0;  // of a queue already gone
};

}  // namespace vseg
