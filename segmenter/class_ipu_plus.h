// ipu::ClassIPUPlus: the segmenter. One instance, g_model, holds the frame
// geometry, the parameters, the inference context, every working buffer and
// the state carried from frame to frame.
#ifndef VIDRA_SEGMENTER_CLASS_IPU_PLUS_H
#define VIDRA_SEGMENTER_CLASS_IPU_PLUS_H

#include <cstdint>
#include <string>
#include <vector>

#include "postprocess/connection_filter.h"
#include "resampling/rgb_process.h"
#include "segmenter/frame_report.h"
#include "segmenter/seg_params.h"
#include "vidra.h"

namespace ipu {

class ClassIPUPlus : public rgbproc::RGBPROCESS, public connection::ConnetionFilter {
public:
    ClassIPUPlus();
    ~ClassIPUPlus() override;

    // Stores the frame geometry, allocates every buffer (zero-filled), resets
    // the smoothing and prepares the model found in modelPath. 0, -1 or the
    // status of LoadModel.
    int32_t InitIPU(int32_t width, int32_t height, int32_t frameType, std::string modelPath);
    int32_t AllocateBuffers();
    // True when the prepared model has one float input, planar, of logical
    // dimensions 1 x m_inputChannels x m_inputHeight x m_inputWidth, and one
    // float output delivered planar (format 0, 2, 5 or 7) of 1 x
    // outputChannels x outputHeight x outputWidth of the parameters.
    bool ModelFitsBuffers() const;
    // Releases the inference context: the status of NNXRelease, or 0.
    int32_t DestroyIPU();

    // One frame: 0, or -1 without a usable context. Throws std::bad_alloc
    // when a temporary cannot be allocated (the export turns it into -1).
    int32_t FrameProcess(const uint8_t* frame, uint8_t* mask);
    int32_t ProcessOneFrame(const uint8_t* frame, uint8_t* mask);

    // Resized frame -> planar float input tensor and 8-bit luminance.
    void PreprocessRGB(const uint8_t* frame, float* tensor, int32_t width, int32_t height);
    void PreprocessRGBA(const uint8_t* frame, float* tensor, int32_t width, int32_t height);

    // Network output -> the host's mask (or the last mask for a skipped frame).
    int32_t PostProcess(const float* networkOutput, uint8_t* mask, bool inferenceSkipped);
    // Blends the mask with the two previous smoothed masks.
    void SmoothMask(const float* source, float* destination);

    // Model location in the folder, then preparation of m_nnxModel.
    int32_t LoadModel(std::string folder);
    int32_t BuildModelPath(const std::string& folder, const std::string& extension,
                           std::string& modelPath);
    std::string ChooseModelFile(const std::string& folder, const std::string& extension);
    void ScanModelFiles(const std::string& folder, const std::string& extension,
                        std::vector<std::string>& found);

    int32_t m_inputWidth = kNetInputWidth;
    int32_t m_inputHeight = kNetInputHeight;
    int32_t m_inputChannels = kNetInputChannels;
    int32_t m_inputSize = kNetInputWidth * kNetInputHeight * kNetInputChannels;
    int32_t m_smoothReady = 0;
    int32_t m_smoothIndex = 0;
    NnxModel* m_nnxModel = nullptr;
    float* m_postPlanes = nullptr;
    float* m_smoothHistory = nullptr;
    uint8_t* m_maskBytes = nullptr;
    float* m_inputTensor = nullptr;
    float* m_outputTensor = nullptr;
    int32_t m_smoothLength = 3;
    uint8_t* m_lumaImage = nullptr;
    uint8_t* m_keyframe8x = nullptr;
    uint8_t* m_keyframeMask = nullptr;
    int32_t m_keyframeWidth = 36;
    int32_t m_keyframeHeight = 20;
    int32_t m_frameCounter = 0;
    int32_t m_keyframeInterval = 10;
    int32_t m_counterPeriod = 60;
    SegParams m_params = DefaultSegParams();

    // A separate destination for the blur when the network has one output
    // plane (the working plane is then plane 0 itself); absent otherwise.
    float* m_blurPlane = nullptr;
    // True only while every buffer of the last InitIPU was allocated at the
    // sizes it asked for; frames are refused otherwise.
    bool m_buffersReady = false;
    // True when the prepared model's tensors do not fit the buffers: the
    // record stays for VidraDestroy to release, but no frame runs it.
    bool m_modelRefused = false;
};

// Gives model a copy of params and the network input size it names; done
// before InitIPU by both kinds of creation.
void UseParams(ClassIPUPlus& model, const SegParams& params);

// The frame driver from the keyframe decision on, for a frame whose network
// input (m_inputTensor) and luminance (m_lumaImage) are already prepared:
// ProcessOneFrame's path after its input stage. Fills report when given.
int32_t RunPreparedFrame(ClassIPUPlus& model, uint8_t* mask, FrameReport* report);

// Clears the stored thumbnail, so that the next frame cannot count as
// unchanged and repeat a mask that was never made.
void ForgetKeyframe(ClassIPUPlus& model);

// Zero-fills the temporal state and working buffers as creation left them
// and restarts the keyframe schedule. Every member that carries state from
// one frame to the next is cleared here, beside the class that declares it.
void ResetTemporalState(ClassIPUPlus& model);

}  // namespace ipu

// The one segmenter of the process.
extern ipu::ClassIPUPlus g_model;

// Cosine of the angle between two byte images of n elements, accumulated in
// single precision in index order.
float CosineSimilarity(const uint8_t* a, const uint8_t* b, const uint64_t& n);

#endif
