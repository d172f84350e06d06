// Frames handed from one thread to another. A fixed set of capacity + 2
// buffers (one being filled, one in use, the rest waiting) circulates between
// a free list and a queue of filled frames, so nothing is allocated per frame.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vseg {

// A frame's bytes, and its place in the source (0, 1, ...: for a paced file,
// its time slot, so that the consumer sees which slots were dropped).
struct Frame : std::vector<uint8_t> {
    using std::vector<uint8_t>::vector;
    long index = 0;
};

class FrameQueue {
public:
    // keepNewest: a frame pushed while `capacity` frames wait replaces the
    // oldest of them (a dropped frame), and the producer never waits: for
    // live sources, which must not fall further and further behind.
    FrameQueue(size_t frameBytes, size_t capacity, bool keepNewest);

    // Producer: a buffer to fill; blocks while every buffer is in use (never
    // with keepNewest). Null once the queue was aborted.
    Frame* Acquire();
    // Producer: hands over a filled buffer (or, with filled = false, gives an
    // unused one back).
    void Push(Frame* frame, bool filled = true);
    // Producer: no more frames will come.
    void Finish();

    // Consumer: the oldest waiting frame. Null when the producer finished and
    // nothing waits, when aborted, or when stop() turns true (checked every
    // 50 ms, so that a signal is noticed).
    Frame* Pop(const std::function<bool()>& stop = nullptr);
    // Consumer: gives a popped buffer back.
    void Release(Frame* frame);

    // Either side: ends the exchange; blocked calls return null.
    void Abort();
    long Dropped() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Frame>> buffers_;
    std::vector<Frame*> free_;
    std::deque<Frame*> filled_;
    const size_t capacity_;
    const bool keepNewest_;
    bool finished_ = false;
    bool aborted_ = false;
    long dropped_ = 0;
};

}  // namespace vseg
