#include "log_capture.h"

#include "subprocess.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vseg {

LogCapture::~LogCapture() { Stop(); }

void DiscardStdout() {
    std::fflush(stdout);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
}

std::string LogCapture::Start(const std::string& logPath) {
    // Whatever fails below, fd 1 no longer reaches the real standard output.
    std::fflush(stdout);
    savedStdout_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    DiscardStdout();
    started_ = true;

    if (!logPath.empty()) {
        logFd_ = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (logFd_ < 0) return "cannot write the log file '" + logPath + "': " + std::strerror(errno);
    }
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vidra-segment-log-XXXXXX";
    // O_APPEND on the shared open file: after each truncation the library's
    // next write lands at offset 0 again.
    tempFd_ = mkostemp(&pattern[0], O_CLOEXEC | O_APPEND);
    if (tempFd_ < 0) return "cannot make a temporary file in " + pattern + ": " + std::strerror(errno);
    unlink(pattern.c_str());
    if (dup2(tempFd_, STDOUT_FILENO) < 0) return std::string("cannot redirect standard output: ") + std::strerror(errno);
    return "";
}

std::string LogCapture::Drain() {
    if (tempFd_ < 0) return "";
    std::fflush(stdout);
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t r = pread(tempFd_, chunk, sizeof chunk, readOffset_);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        text.append(chunk, static_cast<size_t>(r));
        readOffset_ += r;
    }
    // Should emptying fail, the file grows and reading goes on from where it stopped.
    if (ftruncate(tempFd_, 0) == 0) readOffset_ = 0;
    if (logFd_ >= 0 && !text.empty()) WriteFully(logFd_, text.data(), text.size());
    return text;
}

void LogCapture::Stop(bool restore) {
    if (!started_) return;
    Drain();
    if (restore && savedStdout_ >= 0) {
        dup2(savedStdout_, STDOUT_FILENO);
    } else if (logFd_ >= 0) {
        dup2(logFd_, STDOUT_FILENO);
    } else {
        DiscardStdout();
    }
    CloseFd(savedStdout_);
    CloseFd(tempFd_);
    CloseFd(logFd_);
    started_ = false;
}

FrameLog ClassifyFrameLog(const std::string& text) {
    if (text.find("NNXRun start.") != std::string::npos) return FrameLog::Inferred;
    if (text.find("CosineSimilarity:") != std::string::npos) return FrameLog::Skipped;
    return FrameLog::Unknown;
}

}  // namespace vseg
