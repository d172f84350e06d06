// Shared by the segmenter tests: the library's stdout captured, scratch
// folders, and g_model created from a folder that holds no model, so that
// preparation fails but every buffer exists and frames run (the network run
// is refused; post-processing reads the output buffer as the test fills it).
#ifndef VIDRA_TESTS_SEGMENTER_FIXTURE_H
#define VIDRA_TESTS_SEGMENTER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "segmenter/class_ipu_plus.h"

class LogCapture {
public:
    LogCapture() {
        std::fflush(stdout);
        testing::internal::CaptureStdout();
    }
    // The text written since construction (call once).
    std::string Text() {
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

// The NaN of an all-zero similarity prints with its sign on glibc only.
inline bool IsNanText(const std::string& text) { return text == "nan" || text == "-nan"; }

// A folder under the temporary folder, emptied first and removed at the end.
struct ScratchFolder {
    std::filesystem::path path;
    explicit ScratchFolder(const std::string& name) : path(std::filesystem::temp_directory_path() / name) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    void Touch(const std::string& relative) const {
        std::filesystem::create_directories((path / relative).parent_path());
        std::ofstream(path / relative) << "x";
    }
    // In the library's form, with backslashes.
    std::string Backslashed() const {
        std::string text = path.string();
        for (char& c : text)
            if (c == '/') c = '\\';
        return text;
    }
};

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
