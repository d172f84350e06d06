#include "frame_source.h"

#include <algorithm>
#include <chrono>

namespace vseg {

SpawnError FrameSource::Start(const std::vector<std::string>& args, size_t frameBytes, size_t capacity,
                              bool dropWhenBehind, double paceFps) {
    const SpawnError rc = reader_.Open(args, frameBytes);
    if (rc != SpawnError::None) return rc;
    paceFps_ = paceFps;
    queue_ = std::make_unique<FrameQueue>(frameBytes, capacity, dropWhenBehind);
    thread_ = std::thread([this] {
        for (long index = 0;; ++index) {
            Frame* f = queue_->Acquire();
            if (!f) break;
            if (!reader_.Read(f->data())) {
                queue_->Push(f, false);
                ended_ = true;
                break;
            }
            f->index = index;
            Pace(index);
            queue_->Push(f);
        }
        queue_->Finish();
    });
    return rc;
}

void FrameSource::Pace(long index) {
    if (paceFps_ <= 0) return;
    using Clock = std::chrono::steady_clock;
    if (index == 0) firstFrame_ = Clock::now();
    const Clock::time_point due =
        firstFrame_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(index / paceFps_));
    // In short naps, so that stopping is never kept waiting.
    while (!stopping_ && Clock::now() < due)
        std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(20)));
}

ProcessStatus FrameSource::Stop(bool early) {
    if (!queue_) return ProcessStatus();
    if (early) {
        stopping_ = true;
        queue_->Abort();
        reader_.Kill();  // a blocked read returns
    }
    if (thread_.joinable()) thread_.join();
    const ProcessStatus status = reader_.Close(early);
    dropped_ = queue_->Dropped();
    queue_.reset();
    return status;
}

}  // namespace vseg
