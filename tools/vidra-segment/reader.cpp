#include "reader.h"

#include "ffmpeg_options.h"

namespace vseg {
namespace {

std::string CoverFilter(int width, int height) {
    std::string w = std::to_string(width), h = std::to_string(height);
    return "scale=" + w + ":" + h + ":force_original_aspect_ratio=increase,crop=" + w + ":" + h;
}

const size_t kErrorKeep = 4096;

}  // namespace

std::vector<std::string> ReaderArgs(const std::string& input, const std::vector<std::string>& inputArgs,
                                    int width, int height, int bytesPerPixel, const std::string& constantRate) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
    argv.insert(argv.end(), inputArgs.begin(), inputArgs.end());
    std::string filter = "scale=" + std::to_string(width) + ":" + std::to_string(height);
    argv.insert(argv.end(), {"-i", input, "-map", "0:v:0"});
    if (constantRate.empty())
        argv.insert(argv.end(), {FpsModeOption(), "passthrough"});
    else
        argv.insert(argv.end(), {FpsModeOption(), "cfr", "-r", constantRate});
    argv.insert(argv.end(), {"-vf", filter, "-f", "rawvideo", "-pix_fmt", bytesPerPixel == 4 ? "rgba" : "rgb24", "-"});
    return argv;
}

std::vector<std::string> LoopedCoverArgs(const std::string& path, int width, int height,
                                         const std::string& frameRate) {
    return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stream_loop", "-1", "-i", path,
            "-map", "0:v:0", "-vf", "fps=" + frameRate + "," + CoverFilter(width, height),
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-"};
}

std::string TailLines(const std::string& text, size_t maxBytes) {
    std::string tail = text;
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) tail.pop_back();
    if (tail.size() > maxBytes) {
        const size_t cut = tail.size() - maxBytes;
        const bool atLineStart = tail[cut - 1] == '\n';
        tail.erase(0, cut);
        const size_t line = tail.find('\n');
        // A line cut in two loses its start: leave it out when a whole one follows.
        if (!atLineStart && line != std::string::npos && line + 1 < tail.size()) tail.erase(0, line + 1);
    }
    std::string joined;
    for (char c : tail) {
        if (c == '\r') continue;
        if (c == '\n')
            joined += "; ";
        else
            joined += c;
    }
    return joined;
}

FrameReader::~FrameReader() { Close(true); }

SpawnError FrameReader::Open(const std::vector<std::string>& args, size_t frameBytes) {
    frameBytes_ = frameBytes;
    truncated_ = false;
    const SpawnError rc = child_.Start(args, Stdio::Null, Stdio::Pipe, Stdio::Pipe);
    if (rc != SpawnError::None) return rc;
    open_ = true;
    // ffmpeg's complaints are kept to say why a source failed.
    errors_ = std::thread([this] {
        for (std::string chunk; !(chunk = child_.ReadError()).empty();) {
            std::lock_guard<std::mutex> lock(errorLock_);
            errorTail_ += chunk;
            if (errorTail_.size() > 2 * kErrorKeep) errorTail_.erase(0, errorTail_.size() - kErrorKeep);
        }
    });
    return rc;
}

bool FrameReader::Read(uint8_t* frame) {
    const size_t got = child_.Read(frame, frameBytes_);
    if (got == frameBytes_) return true;
    truncated_ = got > 0;
    child_.CloseOutput();
    return false;
}

ProcessStatus FrameReader::Close(bool stopEarly) {
    if (!open_) return ProcessStatus();
    open_ = false;
    if (stopEarly) child_.Kill();
    const ProcessStatus status = child_.Wait();
    if (errors_.joinable()) errors_.join();  // ffmpeg is gone: its standard error has ended
    return status;
}

std::string FrameReader::ErrorTail() const {
    std::lock_guard<std::mutex> lock(errorLock_);
    return TailLines(errorTail_, 600);
}

SpawnError LoadCoverImage(const std::string& path, int width, int height, std::vector<uint8_t>& rgb, bool& ok) {
    std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i", path, "-frames:v", "1",
        "-vf", CoverFilter(width, height), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"};
    ChildProcess child;
    ok = false;
    const SpawnError rc = child.Start(argv, Stdio::Null, Stdio::Pipe, Stdio::Inherit);
    if (rc != SpawnError::None) return rc;
    rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    const size_t got = child.Read(rgb.data(), rgb.size());
    ok = child.Wait().Ok() && got == rgb.size();
    return rc;
}

}  // namespace vseg
