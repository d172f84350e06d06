#include "segmentation.h"

namespace vseg {

SegParams RunParams(const Options& opts) {
    SegParams params = opts.params == ModelParams::k640x480 ? kSegParams640x480 : kSegParams144x80;
    if (opts.threads >= 0) params.runModelType = opts.threads;
    if (opts.largestRegion) params.ConnectedComponentLabeling = true;
    if (opts.noMaskBlur) params.MaskBlur = false;
    if (opts.noSmooth) params.MultiFrameSmooth = false;
    return params;
}

Segmentation::~Segmentation() { Destroy(); }

void Segmentation::OnLog(void* user, int32_t level, const char* message) {
    auto* self = static_cast<Segmentation*>(user);
    if (level >= VIDRA_LOG_ERROR) self->lastError_ = message ? message : "";
    if (self->log_) self->log_->Write(level, message);
}

int32_t Segmentation::Create(const Options& opts, int width, int height, LogFile* log, std::string& why) {
    log_ = log;
    width_ = width;
    height_ = height;
    format_ = opts.frameType == 2 ? VIDRA_PIXEL_RGBA32 : VIDRA_PIXEL_RGB24;
    const SegParams params = RunParams(opts);
    VidraSegmenterOptions options;
    VidraSegmenterOptionsInit(&options);
    options.width = width;
    options.height = height;
    options.modelPath = opts.modelDir.c_str();
    options.params = &params;
    // The per-frame trace costs formatting: only when it is kept.
    options.logLevel = log_ && log_->IsOpen() ? VIDRA_LOG_DEBUG : VIDRA_LOG_ERROR;
    options.logCallback = OnLog;
    options.logUser = this;
    if (log_) log_->SetCall("create");
    const int32_t status = VidraSegmenterCreate(&options, &segmenter_);
    if (status != VIDRA_STATUS_OK) why = lastError_;
    return status;
}

int32_t Segmentation::Process(long number, const uint8_t* frame, uint8_t* mask, VidraFrameInfo& info) {
    if (log_) log_->SetCall("frame " + std::to_string(number));
    VidraImage image{};
    image.width = width_;
    image.height = height_;
    image.format = format_;
    image.planes[0] = const_cast<uint8_t*>(frame);  // read only, as the header says
    image.strides[0] = width_ * (format_ == VIDRA_PIXEL_RGBA32 ? 4 : 3);
    VidraMask m{};
    m.width = width_;
    m.height = height_;
    m.stride = width_;
    m.data = mask;
    info = VidraFrameInfo{};
    info.structSize = sizeof info;
    return VidraSegmenterProcessWithInfo(segmenter_, &image, &m, &info);
}

void Segmentation::Destroy() {
    if (!segmenter_) return;
    if (log_) log_->SetCall("destroy");
    VidraSegmenterDestroy(segmenter_);
    segmenter_ = nullptr;
}

}  // namespace vseg
