#include "reader.h"

#include <csignal>

namespace vseg {

namespace {

std::string CoverFilter(int width, int height) {
    std::string w = std::to_string(width), h = std::to_string(height);
    return "scale=" + w + ":" + h + ":force_original_aspect_ratio=increase,crop=" + w + ":" + h;
}

}  // namespace

std::vector<std::string> ReaderArgs(const std::string& input, const std::vector<std::string>& inputArgs,
                                    int width, int height, int bytesPerPixel, bool realtime) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
    if (realtime) argv.push_back("-re");
    argv.insert(argv.end(), inputArgs.begin(), inputArgs.end());
    std::string filter = "scale=" + std::to_string(width) + ":" + std::to_string(height);
    std::vector<std::string> rest = {
        "-i", input, "-map", "0:v:0", "-fps_mode", "passthrough", "-vf", filter,
        "-f", "rawvideo", "-pix_fmt", bytesPerPixel == 4 ? "rgba" : "rgb24", "-"};
    argv.insert(argv.end(), rest.begin(), rest.end());
    return argv;
}

std::vector<std::string> LoopedCoverArgs(const std::string& path, int width, int height,
                                         const std::string& frameRate) {
    return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stream_loop", "-1", "-i", path,
            "-map", "0:v:0", "-vf", "fps=" + frameRate + "," + CoverFilter(width, height),
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-"};
}

FrameReader::~FrameReader() { Close(true); }

void FrameReader::Kill() {
    if (child_.pid > 0) kill(child_.pid, SIGKILL);
}

int FrameReader::Open(const std::vector<std::string>& args, size_t frameBytes) {
    frameBytes_ = frameBytes;
    truncated_ = false;
    return Spawn(args, Stdio::Null, Stdio::Pipe, child_);
}

bool FrameReader::Read(uint8_t* frame) {
    if (child_.stdoutFd < 0) return false;
    size_t got = ReadFully(child_.stdoutFd, frame, frameBytes_);
    if (got == frameBytes_) return true;
    truncated_ = got > 0;
    CloseFd(child_.stdoutFd);
    return false;
}

int FrameReader::Close(bool stopEarly) {
    if (child_.pid <= 0) return 0;
    if (stopEarly) {
        Terminate(child_);
        return 0;
    }
    return Finish(child_);
}

int LoadCoverImage(const std::string& path, int width, int height, std::vector<uint8_t>& rgb) {
    std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i", path, "-frames:v", "1",
        "-vf", CoverFilter(width, height), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"};
    Child child;
    int rc = Spawn(argv, Stdio::Null, Stdio::Pipe, child);
    if (rc != 0) return rc;
    rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    size_t got = ReadFully(child.stdoutFd, rgb.data(), rgb.size());
    int status = Finish(child);
    return (got == rgb.size() && status == 0) ? 0 : -1;
}

}  // namespace vseg
