#include "frame_sink.h"

namespace vseg {

FrameSink::~FrameSink() {
    if (!queue_) return;
    // Not finished: the result is thrown away, and the writing thread may be
    // blocked on a full pipe.
    writer_.Kill();
    queue_->Abort();
    if (thread_.joinable()) thread_.join();
}

SpawnError FrameSink::Start(const std::vector<std::string>& args, size_t frameBytes, size_t capacity) {
    const SpawnError rc = writer_.Open(args, frameBytes);
    if (rc != SpawnError::None) return rc;
    queue_ = std::make_unique<FrameQueue>(frameBytes, capacity, false);
    thread_ = std::thread([this] {
        // After a failed write, frames are still taken (and thrown away), so
        // that the producer never waits for an encoder that is gone.
        while (Frame* f = queue_->Pop()) {
            if (!failed_ && !writer_.Write(f->data())) failed_ = true;
            queue_->Release(f);
        }
    });
    return rc;
}

bool FrameSink::Finish() {
    if (!queue_) return false;
    queue_->Finish();
    if (thread_.joinable()) thread_.join();
    queue_.reset();
    const bool ended = writer_.Close().Ok();
    return ended && !failed_;
}

}  // namespace vseg
