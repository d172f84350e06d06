#include "postprocess/connection_filter.h"

#include <algorithm>
#include <cstddef>
#include <memory>

namespace connection {

PixelQueue::~PixelQueue() {
    while (head != nullptr) {
        Node* node = head;
        head = node->next;
        delete node;
    }
}

void PixelQueue::Push(int32_t index) {
    Node* node = new Node{index, nullptr};
    if (tail != nullptr) {
        tail->next = node;
    } else {
        head = node;
    }
    tail = node;
}

int32_t PixelQueue::Pop() {
    Node* node = head;
    head = node->next;
    if (head == nullptr) tail = nullptr;
    const int32_t index = node->index;
    delete node;
    return index;
}

ConnetionFilter::ConnetionFilter()
    : m_labels(new uint32_t[static_cast<std::size_t>(160) * 288]()) {}

ConnetionFilter::~ConnetionFilter() {
    delete[] m_labels;
}

int32_t ConnetionFilter::GrowFromPixel(const float* mask, uint32_t* labels, uint32_t label,
                                       int32_t index, PixelQueue* queue) {
    labels[index] = label;
    const int32_t row = index / m_cols;
    const int32_t col = index % m_cols;
    int32_t count = 0;
    for (const auto& n : m_neighbours) {
        const int32_t r = row + n[0];
        const int32_t c = col + n[1];
        if (c < 0 || c >= m_cols || r < 0 || r >= m_rows) continue;
        const int32_t j = r * m_cols + c;
        if (mask[j] >= m_threshold && labels[j] == 0) {
            labels[j] = label;
            ++count;
            queue->Push(j);
        }
    }
    return count;
}

int32_t ConnetionFilter::KeepLargestComponent(float* mask) {
    if (mask == nullptr) return -1;
    std::unique_ptr<PixelQueue> queue(new PixelQueue());
    const int32_t total = m_rows * m_cols;
    std::fill(m_labels, m_labels + total, 0u);
    if (m_rows <= 2) return 0;

    uint32_t lastLabel = 0;
    uint32_t bestLabel = 0;
    int32_t bestSize = 0;
    for (int32_t r = 1; r < m_rows - 1; ++r) {
        for (int32_t c = 1; c < m_cols - 1; ++c) {
            const int32_t seed = r * m_cols + c;
            if (!(mask[seed] >= m_threshold) || m_labels[seed] != 0) continue;
            const uint32_t label = ++lastLabel;
            int32_t tally = GrowFromPixel(mask, m_labels, label, seed, queue.get());
            while (!queue->Empty()) {
                tally += GrowFromPixel(mask, m_labels, label, queue->Pop(), queue.get());
            }
            const int32_t size = tally + 1;
            // Strictly greater: of equal regions the first found stays.
            if (size > bestSize) {
                bestSize = size;
                bestLabel = label;
            }
        }
    }

    if (bestLabel != 0) {
        for (int32_t i = 0; i < total; ++i) {
            if (m_labels[i] != bestLabel) mask[i] = 0.0f;
        }
    }
    return static_cast<int32_t>(bestLabel);
}

}  // namespace connection
