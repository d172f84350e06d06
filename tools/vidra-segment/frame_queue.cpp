#include "frame_queue.h"

#include <chrono>

namespace vseg {

FrameQueue::FrameQueue(size_t frameBytes, size_t capacity, bool keepNewest)
    : capacity_(capacity < 1 ? 1 : capacity), keepNewest_(keepNewest) {
    for (size_t i = 0; i < capacity_ + 2; ++i) {
        buffers_.push_back(std::make_unique<Frame>(frameBytes));
        free_.push_back(buffers_.back().get());
    }
}

Frame* FrameQueue::Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return aborted_ || !free_.empty(); });
    if (aborted_) return nullptr;
    Frame* f = free_.back();
    free_.pop_back();
    return f;
}

void FrameQueue::Push(Frame* frame, bool filled) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (filled && !aborted_) {
            if (keepNewest_ && filled_.size() >= capacity_) {
                free_.push_back(filled_.front());
                filled_.pop_front();
                ++dropped_;
            }
            filled_.push_back(frame);
        } else
            free_.push_back(frame);
    }
    changed_.notify_all();
}

void FrameQueue::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

Frame* FrameQueue::Pop(const std::function<bool()>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (aborted_) return nullptr;
        if (!filled_.empty()) {
            Frame* f = filled_.front();
            filled_.pop_front();
            return f;
        }
        if (finished_) return nullptr;
        if (stop) {
            if (stop()) return nullptr;
            changed_.wait_for(lock, std::chrono::milliseconds(50));
        } else {
            changed_.wait(lock);
        }
    }
}

void FrameQueue::Release(Frame* frame) { Push(frame, false); }

void FrameQueue::Abort() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        aborted_ = true;
    }
    changed_.notify_all();
}

long FrameQueue::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace vseg
