#include "segmenter/seg_params.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr SegParams MakeParams(int32_t outputChannels, int32_t outputWidth, int32_t outputHeight,
                               int32_t maskWidth, int32_t maskHeight) {
    SegParams p{};
    p.inputChannels = kNetInputChannels;
    p.inputWidth = kNetInputWidth;
    p.inputHeight = kNetInputHeight;
    p.outputChannels = outputChannels;
    p.outputWidth = outputWidth;
    p.outputHeight = outputHeight;
    p.maskWidth = maskWidth;
    p.maskHeight = maskHeight;
    p.ConnectedComponentLabeling = false;
    p.MaskBlur = true;
    p.MultiFrameSmooth = true;
    p.needSigmoid = true;
    p.runModelType = 0;
    return p;
}

SegParams Named(SegParams p, const char* name) {
    std::strncpy(p.modelName, name, sizeof(p.modelName) - 1);
    return p;
}

// Largest element count of any buffer; every product below must stay a
// positive 32-bit signed value.
constexpr int64_t kMaxCount = INT32_MAX;

// Bytes of every buffer InitIPU sizes from the record (the element counts
// already fit 32 bits): smoothing history, post-processing planes, network
// output, working mask, blur plane of a one-plane network, network input,
// luminance image, thumbnail and resized frame.
int64_t ParamsBufferBytes(const SegParams& p) {
    const int64_t mask = int64_t{p.maskWidth} * p.maskHeight;
    const int64_t floats = 3 * mask + 2 * p.outputChannels * mask + (p.outputChannels == 1 ? mask : 0) +
                           int64_t{kNetInputChannels} * kNetInputWidth * kNetInputHeight;
    return floats * 4 + mask + int64_t{kNetInputWidth} * kNetInputHeight * 5 + 36 * 20;
}

}  // namespace

extern "C" {
const SegParams kSegParams144x80 =
    Named(MakeParams(2, 144, 80, 288, 160), "model_144x80_2ch_nosig_sim_f32.tesk");
const SegParams kSegParams640x480 =
    Named(MakeParams(1, 640, 480, 640, 480), "model_640x480_9x9up_sim_f32.tesk");
}

SegParams DefaultSegParams() { return MakeParams(2, 144, 80, 288, 160); }

bool FlagSet(const bool& flag) {
    unsigned char byte;
    std::memcpy(&byte, &flag, 1);
    return byte != 0;
}

void CopySegParams(SegParams& to, const SegParams& from) {
    to.inputChannels = from.inputChannels;
    to.inputWidth = from.inputWidth;
    to.inputHeight = from.inputHeight;
    to.outputChannels = from.outputChannels;
    to.outputWidth = from.outputWidth;
    to.outputHeight = from.outputHeight;
    to.maskWidth = from.maskWidth;
    to.maskHeight = from.maskHeight;
    to.ConnectedComponentLabeling = FlagSet(from.ConnectedComponentLabeling);
    to.MaskBlur = FlagSet(from.MaskBlur);
    to.MultiFrameSmooth = FlagSet(from.MultiFrameSmooth);
    to.needSigmoid = FlagSet(from.needSigmoid);
    to.runModelType = from.runModelType;
    // The host's text need not be terminated within the array.
    std::size_t length = 0;
    while (length < sizeof(to.modelName) - 1 && from.modelName[length] != '\0') ++length;
    std::memcpy(to.modelName, from.modelName, length);
    to.modelName[length] = '\0';
}

const char* SegParamsProblem(const SegParams& p) {
    if (p.inputChannels != kNetInputChannels || p.inputWidth != kNetInputWidth ||
        p.inputHeight != kNetInputHeight)
        return "the network input must be 3 x 288 x 160";
    if (p.outputChannels < 1 || p.outputWidth < 2 || p.outputHeight < 2)
        return "the network output needs at least 1 plane of at least 2 x 2";
    if (p.maskWidth < 2 || p.maskHeight < 2) return "the mask needs at least 2 x 2 pixels";
    const int64_t maskPixels = int64_t{p.maskWidth} * p.maskHeight;
    const int64_t outputPixels = int64_t{p.outputWidth} * p.outputHeight;
    // The smoothing history holds three masks, the output buffer one mask per
    // plane. Divided rather than multiplied: sides near INT32_MAX would overflow.
    if (maskPixels > kMaxCount / 3 || maskPixels > kMaxCount / p.outputChannels)
        return "the mask geometry is too large";
    if (outputPixels > maskPixels) return "an output plane must not be larger than the mask";
    if (ParamsBufferBytes(p) > kMaxParamsBufferBytes) return "the buffers would exceed 1 GiB";
    if (p.runModelType < 0 || p.runModelType > kMaxRunModelType) return "runModelType must be 0 to 64";
    if (FlagSet(p.ConnectedComponentLabeling) &&
        (p.maskWidth != kComponentPlaneWidth || p.maskHeight != kComponentPlaneHeight))
        return "ConnectedComponentLabeling needs a 288 x 160 mask";
    return nullptr;
}

const char* FrameSizeProblem(int width, int height) {
    if (width < 2 || height < 2) return "frames need at least 2 x 2 pixels";
    // Compared without the factor 4 multiplied in: width * height alone fits
    // 64 bits for any two int32 sides, times 4 it may not.
    if (int64_t{width} * height > kMaxCount / 4) return "the frame is too large";
    return nullptr;
}
