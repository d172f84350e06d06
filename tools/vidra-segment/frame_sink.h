// Frames written to an encoder on a thread of their own, so that encoding
// overlaps segmentation and compositing.
#pragma once

#include "frame_queue.h"
#include "writer.h"

#include <atomic>
#include <memory>
#include <thread>

namespace vseg {

class FrameSink {
public:
    FrameSink() = default;
    FrameSink(const FrameSink&) = delete;
    FrameSink& operator=(const FrameSink&) = delete;
    ~FrameSink();

    // Starts ffmpeg with args and the writing thread; at most `capacity`
    // frames wait.
    SpawnError Start(const std::vector<std::string>& args, size_t frameBytes, size_t capacity);
    // A buffer to fill; blocks while the encoder is behind. Null after Finish.
    Frame* Acquire() { return queue_->Acquire(); }
    // Queues a filled buffer for the encoder.
    void Push(Frame* frame) { queue_->Push(frame); }
    // True once ffmpeg stopped taking frames (it says why on stderr).
    bool Failed() const { return failed_; }
    // Writes what waits, ends the stream and says whether ffmpeg took every
    // frame and ended well.
    bool Finish();

private:
    FrameWriter writer_;
    std::unique_ptr<FrameQueue> queue_;
    std::thread thread_;
    std::atomic<bool> failed_{false};
};

}  // namespace vseg
