#include "frame_source.h"

namespace vseg {

int FrameSource::Start(const std::vector<std::string>& args, size_t frameBytes, size_t capacity,
                       bool dropWhenBehind) {
    int rc = reader_.Open(args, frameBytes);
    if (rc != 0) return rc;
    queue_ = std::make_unique<FrameQueue>(frameBytes, capacity, dropWhenBehind);
    thread_ = std::thread([this] {
        while (Frame* f = queue_->Acquire()) {
            if (!reader_.Read(f->data())) {
                queue_->Push(f, false);
                ended_ = true;
                break;
            }
            queue_->Push(f);
        }
        queue_->Finish();
    });
    return 0;
}

int FrameSource::Stop(bool early) {
    if (!queue_) return 0;
    if (early) {
        queue_->Abort();
        reader_.Kill();  // a blocked read returns
    }
    if (thread_.joinable()) thread_.join();
    int status = reader_.Close(early);
    queue_.reset();
    return status;
}

}  // namespace vseg
