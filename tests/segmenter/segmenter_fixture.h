// Puts g_model into a known state: created for a frame size with given
// parameters from a folder that holds no model, so preparation fails but
// every buffer exists and frames run (the network run is then refused and
// post-processing works on the output buffer as the test fills it).
#ifndef VIDRA_TESTS_SEGMENTER_FIXTURE_H
#define VIDRA_TESTS_SEGMENTER_FIXTURE_H

#include <string>

#include "segmenter/class_ipu_plus.h"
#include "log_capture.h"

inline std::string EmptyFolder() {
#if defined(_WIN32)
    return VIDRA_TEST_SOURCE_DIR "\\tests\\segmenter";
#else
    return VIDRA_TEST_SOURCE_DIR "/tests/segmenter";
#endif
}

// Creates without a model; returns the creation status (-1: no model file).
inline int CreateWithoutModel(int width, int height, int frameType, const SegParams& params) {
    LogCapture quiet;
    SegParams copy = params;
    copy.modelName[0] = '\0';  // search the folder, which holds no model file
    const int status = VidraCreateWithPathPlus(width, height, frameType, EmptyFolder().c_str(), &copy);
    quiet.Text();
    return status;
}

inline void DestroyQuietly() {
    LogCapture quiet;
    VidraDestroy();
    quiet.Text();
}

#endif
