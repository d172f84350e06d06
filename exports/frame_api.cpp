// The exported frame-level functions. They take no handle: every call works
// on the one segmenter, g_model.
#include <exception>
#include <new>
#include <string>

#include "common/log.h"
#include "segmenter/class_ipu_plus.h"

namespace {

// No exception may reach the host: one that gets this far (out of memory in a
// temporary) ends the call with -1 and a log line naming the export.
template <typename Body>
int32_t Guarded(const char* name, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        LogPrintf("%s: out of memory\n", name);
    } catch (const std::exception& e) {
        LogPrintf("%s: failed: %s\n", name, e.what());
    } catch (...) {
        LogPrintf("%s: failed\n", name);
    }
    return -1;
}

int32_t CreateWithPathPlus(int32_t width, int32_t height, int32_t frameType, const char* modelPath,
                           const SegParams* params) {
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

    // Made before anything changes: the only allocation of this function.
    std::string folder(modelPath);

    LogPrintf("SorvanePlus Create wtih:width = %d, height = %d, frameType = %d!\n", width, height,
              frameType);
    g_model.UseParams(*params);
    const SegParams& p = g_model.m_params;
    auto text = [](const bool& flag) { return FlagSet(flag) ? "true" : "false"; };
    LogPrintf("ConnectedComponentLabeling: %s, MaskBlur: %s, MultiFrameSmooth: %s,         "
              "needSigmoid: %s, runModelType:%d.\n",
              text(p.ConnectedComponentLabeling), text(p.MaskBlur), text(p.MultiFrameSmooth),
              text(p.needSigmoid), p.runModelType);
    const int32_t status = g_model.InitIPU(width, height, frameType, std::move(folder));
    LogPrintf("g_model.InitIPU ret: %d.", status);
    return status;
}

}  // namespace

extern "C" {

VIDRA_API int32_t VidraCreate(void) { return 0; }

VIDRA_API int32_t VidraCreateWithPath(int32_t width, int32_t height, int32_t frameType,
                                      const char* modelPath) {
    return VidraCreateWithPathPlus(width, height, frameType, modelPath, &kSegParams144x80);
}

VIDRA_API int32_t VidraCreateWithPathPlus(int32_t width, int32_t height, int32_t frameType,
                                          const char* modelPath, const SegParams* params) {
    return Guarded("VidraCreateWithPathPlus",
                   [&] { return CreateWithPathPlus(width, height, frameType, modelPath, params); });
}

VIDRA_API int32_t VidraDestroy(void) {
    return Guarded("VidraDestroy", [] {
        LogPrintf("SorvaneDestroy!\n");
        return g_model.DestroyIPU();
    });
}

VIDRA_API int32_t VidraFrameProcess(void* /*reserved*/, const uint8_t* frame, uint8_t* mask) {
    return Guarded("VidraFrameProcess", [&] { return g_model.FrameProcess(frame, mask); });
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
