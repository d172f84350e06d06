// connection::ConnetionFilter: keeps the largest 8-connected foreground region
// of a fixed-size float mask.
#ifndef VIDRA_POSTPROCESS_CONNECTION_FILTER_H
#define VIDRA_POSTPROCESS_CONNECTION_FILTER_H

#include <cstdint>

namespace connection {

// FIFO of pixel indices: a singly linked list, one heap node per queued pixel.
struct PixelQueue;

class ConnetionFilter {
public:
    ConnetionFilter();
    ConnetionFilter(const ConnetionFilter&) = delete;
    ConnetionFilter& operator=(const ConnetionFilter&) = delete;
    virtual ~ConnetionFilter();

    // mask: m_rows x m_cols floats, modified in place. Returns the kept label,
    // 0 when no region was found (or m_rows <= 2), -1 for a null mask.
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
