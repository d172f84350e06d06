// The --log file: every message of the segmenter instance's log callback on
// a line of its own, prefixed with the call it came from ("create",
// "frame 12", "destroy").
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vseg {

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Creates (empties) path. "" or why not.
    std::string Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // Names the call whose messages follow.
    void SetCall(const std::string& call) { call_ = call; }
    // One message: line ends inside it become spaces, so it stays one line.
    void Write(int32_t level, const char* message);

private:
    FILE* file_ = nullptr;
    std::string call_ = "create";
};

// The text of one log line, as Write puts it in the file (without the line end).
std::string FormatLogLine(const std::string& call, int32_t level, const char* message);

}  // namespace vseg
