#include "frame_sink.h"

namespace vseg {

FrameSink::~FrameSink() {
    if (!queue_) return;
    queue_->Abort();
    if (thread_.joinable()) thread_.join();
}

int FrameSink::Start(const std::vector<std::string>& args, size_t frameBytes, size_t capacity) {
    int rc = writer_.Open(args, frameBytes);
    if (rc != 0) return rc;
    queue_ = std::make_unique<FrameQueue>(frameBytes, capacity, false);
    thread_ = std::thread([this] {
        // After a failed write, frames are still taken (and thrown away), so
        // that the producer never waits for an encoder that is gone.
        while (Frame* f = queue_->Pop()) {
            if (!failed_ && !writer_.Write(f->data())) failed_ = true;
            queue_->Release(f);
        }
    });
    return 0;
}

int FrameSink::Finish() {
    if (!queue_) return 0;
    queue_->Finish();
    if (thread_.joinable()) thread_.join();
    queue_.reset();
    int status = writer_.Close();
    return failed_ ? -1 : status;
}

}  // namespace vseg
