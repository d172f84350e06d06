// Resamples a host frame, in its own layout and strides, straight into the
// segmenter's 288 x 160 resized frame with the bilinear arithmetic of the
// global frame path: no copy of the frame is made. Packed RGB/BGR layouts are
// read in place; for NV12/I420 the two source rows of each output row are
// converted to RGB (whole rows, or only the samples the filter reads when the
// frame is much wider than the input).
#ifndef VIDRA_INSTANCES_NETWORK_INPUT_H
#define VIDRA_INSTANCES_NETWORK_INPUT_H

#include <cstdint>
#include <vector>

#include "instances/frame_view.h"
#include "resampling/resize_kernels.h"
#include "resampling/rgb_process.h"

namespace instances {

class NetworkInput {
public:
    // Builds the tables for frames of width x height with the segmenter's own
    // table routine. Throws std::bad_alloc when memory is short.
    void Prepare(rgbproc::RGBPROCESS& resampler, int32_t width, int32_t height);

    // Writes bytes 0..2 (R, G, B) of every pixel of `resized` (288 x 160,
    // pixel step 3 or 4) and returns that step: 4 for the four-byte layouts,
    // as the global path uses for them, else 3.
    int32_t Resample(const FrameView& frame, uint8_t* resized);

private:
    vidra::resampling::ResizeTableView Tables(const std::vector<int32_t>& indices) const;
    void ResamplePacked(const FrameView& frame, int32_t step, uint8_t* resized);
    void ResampleYuv(const FrameView& frame, uint8_t* resized);
    // Converts source row `row` into `out`: every pixel (RGB, 3 bytes each)
    // when denseWidth_ is set, else the two samples of every output column
    // (6 bytes per column).
    void GatherRow(const FrameView& frame, int32_t row, uint8_t* out) const;

    // Step-1 tables (source column and row numbers) and the shared weights.
    std::vector<int32_t> unit_;
    std::vector<float> weights_;
    // Column indices for pixel steps 3 and 4, and for the gathered YUV rows.
    std::vector<int32_t> step3_;
    std::vector<int32_t> step4_;
    std::vector<int32_t> gathered_;
    std::vector<int32_t> gatherColumns_;  // source column of each gathered sample
    // Frames up to this wide have whole rows converted (0: the sampled
    // pixels only, in the order of gathered_).
    int32_t denseWidth_ = 0;
    std::vector<uint8_t> rows_;  // two converted rows
};

}  // namespace instances

#endif
