#include "writer.h"

#include <algorithm>
#include <cctype>

namespace vseg {
namespace {

std::string Extension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

const char* FfmpegName(PixelFormat f) {
    return f == PixelFormat::Gray ? "gray" : f == PixelFormat::Rgb ? "rgb24" : "rgba";
}

}  // namespace

EncoderChoice ChooseEncoder(const std::string& path, PixelFormat format) {
    const std::string ext = Extension(path);
    const bool alpha = format == PixelFormat::Rgba;
    EncoderChoice c;
    auto imageArgs = [&](std::vector<std::string> codec) {
        c.image = true;
        c.args = codec;
        c.args.insert(c.args.end(), {"-f", "image2"});
        // One file: each frame replaces the last. A %d pattern: one file per frame.
        if (path.find('%') == std::string::npos) c.args.insert(c.args.end(), {"-update", "1"});
    };
    auto h264 = [&]() {
        c.args = {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"};
        c.evenSize = true;
    };

    if (ext == "png") {
        imageArgs({"-c:v", "png", "-pix_fmt", FfmpegName(format)});
        c.keepsAlpha = true;
    } else if (ext == "tif" || ext == "tiff") {
        imageArgs({"-c:v", "tiff", "-pix_fmt", FfmpegName(format)});
        c.keepsAlpha = true;
    } else if (ext == "jpg" || ext == "jpeg") {
        imageArgs({"-c:v", "mjpeg", "-q:v", "2"});
    } else if (ext == "bmp") {
        imageArgs({"-c:v", "bmp"});
    } else if (ext == "mp4" || ext == "m4v") {
        h264();
        c.args.insert(c.args.end(), {"-movflags", "+faststart"});
    } else if (ext == "mov") {
        if (alpha) {
            c.args = {"-c:v", "qtrle", "-pix_fmt", "argb"};
            c.keepsAlpha = true;
        } else {
            h264();
        }
    } else if (ext == "mkv") {
        // Lossless; gray stays gray and RGBA keeps its alpha.
        c.args = {"-c:v", "ffv1", "-pix_fmt", alpha ? "bgra" : format == PixelFormat::Gray ? "gray" : "bgr0"};
        c.keepsAlpha = true;
    } else if (ext == "webm") {
        c.args = {"-c:v", "libvpx-vp9", "-pix_fmt", alpha ? "yuva420p" : "yuv420p", "-deadline", "realtime",
                  "-cpu-used", "8", "-row-mt", "1", "-b:v", "0", "-crf", "32"};
        c.keepsAlpha = true;
    } else if (ext == "avi") {
        c.args = {"-c:v", "mpeg4", "-q:v", "3", "-pix_fmt", "yuv420p"};
        c.evenSize = true;
    } else {
        c.error = "cannot tell what to write from the extension of '" + path +
                  "': use .mp4 .mov .mkv .webm .avi .png .jpg .bmp or .tif";
        return c;
    }
    if (alpha && !c.keepsAlpha) {
        c.error = "'" + path + "' cannot keep a transparent background: use .png or .tif for stills, "
                  ".webm (VP9 with alpha), .mov (QuickTime Animation) or .mkv (FFV1) for videos";
    }
    return c;
}

std::vector<std::string> WriterArgs(const std::string& path, const EncoderChoice& choice, PixelFormat format,
                                    int width, int height, const std::string& frameRate) {
    std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", FfmpegName(format),
        "-s", std::to_string(width) + "x" + std::to_string(height),
        "-framerate", frameRate, "-i", "-"};
    if (choice.evenSize && (width % 2 != 0 || height % 2 != 0))
        argv.insert(argv.end(), {"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0"});
    argv.insert(argv.end(), choice.args.begin(), choice.args.end());
    argv.push_back(path);
    return argv;
}

FrameWriter::~FrameWriter() {
    if (child_.pid > 0) Terminate(child_);
}

int FrameWriter::Open(const std::vector<std::string>& args, size_t frameBytes) {
    frameBytes_ = frameBytes;
    return Spawn(args, Stdio::Pipe, Stdio::Null, child_);
}

bool FrameWriter::Write(const uint8_t* frame) {
    return child_.stdinFd >= 0 && WriteFully(child_.stdinFd, frame, frameBytes_);
}

int FrameWriter::Close() { return Finish(child_); }

}  // namespace vseg
