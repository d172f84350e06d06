// connection::ConnetionFilter: keeps the largest 8-connected foreground region
// of a fixed-size float mask.
#ifndef VIDRA_POSTPROCESS_CONNECTION_FILTER_H
#define VIDRA_POSTPROCESS_CONNECTION_FILTER_H

#include <cstdint>

namespace connection {

// FIFO of pixel indices: a singly linked list, one heap node per queued pixel,
// released when the pixel leaves (or, after an exception, with the queue).
struct PixelQueue {
    struct Node {
        int32_t index;
        Node* next;
    };
    PixelQueue() = default;
    PixelQueue(const PixelQueue&) = delete;
    PixelQueue& operator=(const PixelQueue&) = delete;
    ~PixelQueue();
    bool Empty() const { return head == nullptr; }
    void Push(int32_t index);
    int32_t Pop();  // the queue must not be empty
    Node* head = nullptr;
    Node* tail = nullptr;
};

class ConnetionFilter {
public:
    ConnetionFilter();
    ConnetionFilter(const ConnetionFilter&) = delete;
    ConnetionFilter& operator=(const ConnetionFilter&) = delete;
    virtual ~ConnetionFilter();

    // mask: m_rows x m_cols floats, modified in place. Returns the kept label,
    // 0 when no region was found (or m_rows <= 2), -1 for a null mask.
    // A queue node that cannot be allocated throws std::bad_alloc with the
    // mask still unchanged and every node released.
    int32_t KeepLargestComponent(float* mask);

    // Labels `index`, then labels and queues its qualifying neighbours;
    // returns how many neighbours it labelled.
    int32_t GrowFromPixel(const float* mask, uint32_t* labels, uint32_t label, int32_t index,
                          PixelQueue* queue);

    int32_t m_neighbours[8][2] = {{0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};
    float m_threshold = 0.25f;
    int32_t m_rows = 160;
    int32_t m_cols = 288;
    uint32_t* m_labels = nullptr;
};

}  // namespace connection

#endif
