#include "instances/network_input.h"

#include "common/cpu_features.h"
#include "resampling/resize_kernels.h"
#include "resampling/yuv_kernels.h"
#include "segmenter/seg_params.h"

namespace instances {

namespace {

constexpr int32_t kOutWidth = kNetInputWidth;
constexpr int32_t kOutHeight = kNetInputHeight;
constexpr int32_t kTableEntries = 2 * (kOutWidth + kOutHeight);

}  // namespace

void NetworkInput::Prepare(rgbproc::RGBPROCESS& resampler, int32_t width, int32_t height) {
    unit_.assign(kTableEntries, 0);
    weights_.assign(kTableEntries, 0.0f);
    const ResizeGeometry geometry{width, height, kOutWidth, kOutHeight};
    // The weights do not depend on the pixel step, only the indices do, so one
    // table build serves every layout.
    resampler.BuildResizeTables(unit_.data(), weights_.data(), &geometry, 1);
    step3_ = unit_;
    step4_ = unit_;
    gathered_ = unit_;
    for (int32_t x = 0; x < kOutWidth; ++x) {
        for (int32_t run = 0; run < 2; ++run) {
            const int32_t i = run * kOutWidth + x;
            step3_[i] = unit_[i] * 3;
            step4_[i] = unit_[i] * 4;
            // Gathered rows hold the two samples of column x at 2x and 2x + 1.
            gathered_[i] = (2 * x + run) * 3;
        }
    }
    // The columns a gathered row converts, in its order.
    gatherColumns_.resize(2 * static_cast<size_t>(kOutWidth));
    for (int32_t x = 0; x < kOutWidth; ++x) {
        gatherColumns_[2 * x] = unit_[x];
        gatherColumns_[2 * x + 1] = unit_[kOutWidth + x];
    }
    // Converting whole rows (contiguous vector loads) beats picking the
    // samples up to a few times their number with SSE2; the AVX2 pick is
    // faster as soon as the row is wider than the samples.
    const int32_t denseLimit = vidra::ActiveCpuTier() >= vidra::CpuTier::kAvx2 ? 2 * kOutWidth : 8 * kOutWidth;
    denseWidth_ = width <= denseLimit ? width : 0;
    const size_t rowBytes = denseWidth_ > 0 ? static_cast<size_t>(denseWidth_) * 3 : static_cast<size_t>(kOutWidth) * 6;
    rows_.assign(2 * rowBytes, 0);
}

vidra::resampling::ResizeTableView NetworkInput::Tables(const std::vector<int32_t>& indices) const {
    return vidra::resampling::ViewTables(indices.data(), weights_.data(), kOutWidth, kOutHeight);
}

int32_t NetworkInput::Resample(const FrameView& frame, uint8_t* resized) {
    const int32_t step = frame.format->order.bpp;  // 0 for the YUV formats
    if (step == 0) {
        ResampleYuv(frame, resized);
        return 3;
    }
    ResamplePacked(frame, step, resized);
    return step;
}

void NetworkInput::ResamplePacked(const FrameView& frame, int32_t step, uint8_t* resized) {
    const vidra::resampling::ResizeTableView t = Tables(step == 3 ? step3_ : step4_);
    const auto pixelRow = vidra::resampling::ActiveResizeKernels().pixelRow;
    const bool bgr = frame.format->order.red == 2;
    const int32_t* rows0 = unit_.data() + 2 * kOutWidth;
    const int32_t* rows1 = rows0 + kOutHeight;
    for (int32_t y = 0; y < kOutHeight; ++y) {
        const uint8_t* src0 = RowOf(frame, 0, rows0[y]);
        const uint8_t* src1 = RowOf(frame, 0, rows1[y]);
        pixelRow(src0, src1, t, y, step, bgr, resized + static_cast<std::ptrdiff_t>(y) * kOutWidth * step);
    }
}

void NetworkInput::GatherRow(const FrameView& frame, int32_t row, uint8_t* out) const {
    const uint8_t* chroma1 = RowOf(frame, 1, row / 2);
    const bool planar = frame.format->planes == 3;
    vidra::resampling::YuvRow yuv;
    yuv.luma = RowOf(frame, 0, row);
    yuv.u = chroma1;
    yuv.v = planar ? RowOf(frame, 2, row / 2) : chroma1 + 1;
    yuv.chromaStep = planar ? 1 : 2;
    const auto& k = vidra::resampling::ActiveYuvKernels();
    if (denseWidth_ > 0) k.convertRow(yuv, denseWidth_, out);
    else k.gatherRow(yuv, gatherColumns_.data(), static_cast<int32_t>(gatherColumns_.size()), out);
}

void NetworkInput::ResampleYuv(const FrameView& frame, uint8_t* resized) {
    const vidra::resampling::ResizeTableView t = Tables(denseWidth_ > 0 ? step3_ : gathered_);
    const auto pixelRow = vidra::resampling::ActiveResizeKernels().pixelRow;
    const int32_t* rows0 = unit_.data() + 2 * kOutWidth;
    const int32_t* rows1 = rows0 + kOutHeight;
    const size_t rowBytes = rows_.size() / 2;
    uint8_t* buffers[2] = {rows_.data(), rows_.data() + rowBytes};
    int32_t held[2] = {-1, -1};  // source row in each buffer
    // An enlargement samples the same source rows for several output rows:
    // each row is converted once while it stays in use.
    auto fetch = [&](int32_t row, int32_t keep) -> const uint8_t* {
        for (int b = 0; b < 2; ++b)
            if (held[b] == row) return buffers[b];
        const int b = held[0] == keep ? 1 : 0;
        GatherRow(frame, row, buffers[b]);
        held[b] = row;
        return buffers[b];
    };
    for (int32_t y = 0; y < kOutHeight; ++y) {
        const uint8_t* src0 = fetch(rows0[y], rows1[y]);
        const uint8_t* src1 = fetch(rows1[y], rows0[y]);
        pixelRow(src0, src1, t, y, 3, false, resized + static_cast<std::ptrdiff_t>(y) * kOutWidth * 3);
    }
}

}  // namespace instances
