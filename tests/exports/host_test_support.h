// Shared by the tests that use the library as a host does: paths into the
// built model folder, its test frames, and the library's stdout captured.
#ifndef VIDRA_TESTS_HOST_TEST_SUPPORT_H
#define VIDRA_TESTS_HOST_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "ppm.h"

// A path under the model folder; relative uses '/', turned into the target's separator.
inline std::string ModelPath(const std::string& relative = "") {
    std::string path = std::string(VIDRA_TEST_MODEL_DIR) + (relative.empty() ? "" : "/" + relative);
#if defined(_WIN32)
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}
inline const std::string kModelDir = ModelPath();

inline RgbImage LoadTestFrame(const std::string& name) {
    RgbImage image;
    EXPECT_TRUE(ReadPpm(ModelPath("test/frames/" + name), image)) << name << " (made by `make models`)";
    return image;
}

inline std::string StdoutOf(const std::function<void()>& action) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

#endif
