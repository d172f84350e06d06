// Input preparation: the resized frame becomes the planar float tensor the
// network reads (raw byte values, no scaling) and, in the same pass, the 8-bit
// luminance image of the keyframe test.
#include "segmenter/class_ipu_plus.h"

namespace {

// step: bytes per pixel of the resized frame; bytes 0, 1, 2 are R, G, B.
void Preprocess(const uint8_t* frame, float* tensor, uint8_t* luma, int32_t width,
                int32_t height, int32_t step) {
    const uint32_t n = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
    float* plane0 = tensor;
    float* plane1 = tensor + n;
    float* plane2 = tensor + 2 * static_cast<size_t>(n);
    const size_t pixelStep = static_cast<size_t>(step);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* px = frame + i * pixelStep;
        const uint32_t b0 = px[0], b1 = px[1], b2 = px[2];
        plane0[i] = static_cast<float>(b0);
        plane1[i] = static_cast<float>(b1);
        plane2[i] = static_cast<float>(b2);
        // Weights 76, 150, 30 sum to 256, so the shifted value fits a byte.
        luma[i] = static_cast<uint8_t>((76u * b0 + 150u * b1 + 30u * b2) >> 8);
    }
}

}  // namespace

namespace ipu {

void ClassIPUPlus::PreprocessRGB(const uint8_t* frame, float* tensor, int32_t width,
                                 int32_t height) {
    Preprocess(frame, tensor, m_lumaImage, width, height, m_params.inputChannels);
}

void ClassIPUPlus::PreprocessRGBA(const uint8_t* frame, float* tensor, int32_t width,
                                  int32_t height) {
    Preprocess(frame, tensor, m_lumaImage, width, height, 4);
}

}  // namespace ipu
