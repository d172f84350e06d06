#include "log_file.h"

#include "platform/file_system.h"

#include "vidra_core.h"

#include <cerrno>
#include <cstring>

namespace vseg {

LogFile::~LogFile() {
    if (file_) std::fclose(file_);
}

std::string LogFile::Open(const std::string& path) {
    file_ = CreateTextFile(path);
    if (!file_) return "cannot write the log file '" + path + "': " + std::strerror(errno);
    // Line by line: what a crash leaves is what says what went wrong.
    std::setvbuf(file_, nullptr, _IOLBF, 1 << 14);
    return "";
}

std::string FormatLogLine(const std::string& call, int32_t level, const char* message) {
    std::string line = call + ": ";
    // The trace is the bulk: only the other levels are named.
    if (level == VIDRA_LOG_INFO) line += "info: ";
    if (level == VIDRA_LOG_WARNING) line += "warning: ";
    if (level >= VIDRA_LOG_ERROR) line += "error: ";
    for (const char* c = message ? message : ""; *c; ++c) line += (*c == '\n' || *c == '\r') ? ' ' : *c;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

void LogFile::Write(int32_t level, const char* message) {
    if (!file_) return;
    const std::string line = FormatLogLine(call_, level, message);
    std::fprintf(file_, "%s\n", line.c_str());
    // Windows' C runtime has no line buffering (_IOLBF is full buffering there).
    std::fflush(file_);
}

}  // namespace vseg
