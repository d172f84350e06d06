// Captures what the library writes to standard output during a scope.
#ifndef VIDRA_TESTS_LOG_CAPTURE_H
#define VIDRA_TESTS_LOG_CAPTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

#endif
