// The exported frame-level functions. They take no handle: every call works
// on the one segmenter, g_model.
#include "common/log.h"
#include "segmenter/class_ipu_plus.h"

extern "C" {

VIDRA_API int32_t VidraCreate(void) { return 0; }

VIDRA_API int32_t VidraCreateWithPath(int32_t width, int32_t height, int32_t frameType,
                                      const char* modelPath) {
    return VidraCreateWithPathPlus(width, height, frameType, modelPath, &kSegParams144x80);
}

VIDRA_API int32_t VidraCreateWithPathPlus(int32_t width, int32_t height, int32_t frameType,
                                          const char* modelPath, const SegParams* params) {
    if (params == nullptr) {
        LogPrintf("VidraCreateWithPathPlus: model parameter is nullptr\n");
        return -1;
    }
    // Refused before anything changes, so that no record or frame size can
    // make a later frame read or write outside its buffers.
    if (modelPath == nullptr) {
        LogPrintf("VidraCreateWithPathPlus: model path is nullptr\n");
        return -1;
    }
    if (const char* problem = SegParamsProblem(*params)) {
        LogPrintf("VidraCreateWithPathPlus: model parameter refused: %s\n", problem);
        return -1;
    }
    if (const char* problem = FrameSizeProblem(width, height)) {
        LogPrintf("VidraCreateWithPathPlus: frame size %d x %d refused: %s\n", width, height, problem);
        return -1;
    }

    LogPrintf("SorvanePlus Create wtih:width = %d, height = %d, frameType = %d!\n", width, height,
              frameType);
    CopySegParams(g_model.m_params, *params);
    const SegParams& p = g_model.m_params;
    g_model.m_inputHeight = p.inputHeight;
    g_model.m_inputChannels = p.inputChannels;
    g_model.m_inputWidth = p.inputWidth;
    g_model.m_inputSize = p.inputHeight * p.inputWidth * p.inputChannels;
    auto text = [](bool flag) { return flag ? "true" : "false"; };
    LogPrintf("ConnectedComponentLabeling: %s, MaskBlur: %s, MultiFrameSmooth: %s,         "
              "needSigmoid: %s, runModelType:%d.\n",
              text(p.ConnectedComponentLabeling), text(p.MaskBlur), text(p.MultiFrameSmooth),
              text(p.needSigmoid), p.runModelType);
    const int32_t status = g_model.InitIPU(width, height, frameType, std::string(modelPath));
    LogPrintf("g_model.InitIPU ret: %d.", status);
    return status;
}

VIDRA_API int32_t VidraDestroy(void) {
    LogPrintf("SorvaneDestroy!\n");
    return g_model.DestroyIPU();
}

VIDRA_API int32_t VidraFrameProcess(void* /*reserved*/, const uint8_t* frame, uint8_t* mask) {
    return g_model.FrameProcess(frame, mask);
}

VIDRA_API int32_t VidraAlgControl(int32_t algType, bool flag) {
    LogPrintf("SorvaneAlgControl:algType = %d, flag = %d!\n", algType,
              static_cast<unsigned>(*reinterpret_cast<const unsigned char*>(&flag)));
    return 0;
}

VIDRA_API int32_t VidraAlgLogLevel(int32_t loglevel) {
    LogPrintf("SorvaneAlgLogLevel:loglevel = %d!", loglevel);
    return 0;
}

}  // extern "C"
