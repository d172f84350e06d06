#include "instances/network_input.h"

#include "instances/yuv_bt601.h"
#include "resampling/resize_kernels.h"
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
    rows_.assign(2 * static_cast<size_t>(kOutWidth) * 6, 0);
}

rgbproc::ResizeTables NetworkInput::Tables(std::vector<int32_t>& indices) {
    rgbproc::ResizeTables t;
    t.indices = indices.data();
    t.weights = weights_.data();
    t.dstWidth = kOutWidth;
    t.dstHeight = kOutHeight;
    return t;
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
    const rgbproc::ResizeTables t = Tables(step == 3 ? step3_ : step4_);
    const bool bgr = frame.format->order.red == 2;
    const int32_t* rows0 = unit_.data() + 2 * kOutWidth;
    const int32_t* rows1 = rows0 + kOutHeight;
    for (int32_t y = 0; y < kOutHeight; ++y) {
        const uint8_t* src0 = RowOf(frame, 0, rows0[y]);
        const uint8_t* src1 = RowOf(frame, 0, rows1[y]);
        uint8_t* out = resized + static_cast<std::ptrdiff_t>(y) * kOutWidth * step;
        for (int32_t c = 0; c < 3; ++c) {
            const int32_t from = bgr ? 2 - c : c;
            rgbproc::kernels::ChannelRowSse(src0 + from, src1 + from, t, y, step, kOutWidth, out + c);
        }
    }
}

void NetworkInput::GatherRow(const FrameView& frame, int32_t row, uint8_t* out) const {
    const int32_t* cols[2] = {unit_.data(), unit_.data() + kOutWidth};
    const uint8_t* luma = RowOf(frame, 0, row);
    const uint8_t* chroma1 = RowOf(frame, 1, row / 2);
    const uint8_t* chroma2 = frame.format->planes == 3 ? RowOf(frame, 2, row / 2) : nullptr;
    for (int32_t x = 0; x < kOutWidth; ++x) {
        for (int32_t run = 0; run < 2; ++run) {
            const int32_t col = cols[run][x];
            const int32_t half = col / 2;
            uint8_t u, v;
            if (chroma2 != nullptr) {
                u = chroma1[half];
                v = chroma2[half];
            } else {
                u = chroma1[2 * half];
                v = chroma1[2 * half + 1];
            }
            YuvToRgbBt601(luma[col], u, v, out + (2 * x + run) * 3);
        }
    }
}

void NetworkInput::ResampleYuv(const FrameView& frame, uint8_t* resized) {
    const rgbproc::ResizeTables t = Tables(gathered_);
    const int32_t* rows0 = unit_.data() + 2 * kOutWidth;
    const int32_t* rows1 = rows0 + kOutHeight;
    const size_t rowBytes = static_cast<size_t>(kOutWidth) * 6;
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
        uint8_t* out = resized + static_cast<std::ptrdiff_t>(y) * kOutWidth * 3;
        for (int32_t c = 0; c < 3; ++c)
            rgbproc::kernels::ChannelRowSse(src0 + c, src1 + c, t, y, 3, kOutWidth, out + c);
    }
}

}  // namespace instances
