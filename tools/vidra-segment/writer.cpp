#include "writer.h"

#include "ffmpeg_options.h"
#include "platform/file_system.h"

#include <algorithm>
#include <cctype>

namespace vseg {
namespace {

std::string Extension(const std::string& path) {
    // In the file's name only: the platform knows its separators (and drives).
    std::string folder, name;
    SplitPath(path, folder, name);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return "";
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

const char* FfmpegName(PixelFormat f) {
    return f == PixelFormat::Gray ? "gray" : f == PixelFormat::Bgr ? "bgr24" : "rgba";
}

// What a lossless image keeps: gray, RGB or RGBA.
const char* StoredName(PixelFormat f) {
    return f == PixelFormat::Gray ? "gray" : f == PixelFormat::Bgr ? "rgb24" : "rgba";
}

}  // namespace

EncoderChoice ChooseEncoder(const std::string& path, PixelFormat format, bool isCharDevice) {
    const std::string ext = Extension(path);
    const bool alpha = format == PixelFormat::Rgba;
    EncoderChoice c;
    c.extension = ext;
    if (isCharDevice || path.rfind("/dev/", 0) == 0) {
        // yuv420p: what video-call programs read from a loopback camera.
        c.args = {"-f", "v4l2", "-pix_fmt", "yuv420p"};
        c.device = true;
        c.evenSize = true;
        if (alpha) c.error = "a camera device cannot show a transparent background: use --color or --background";
        return c;
    }
    auto imageArgs = [&](std::vector<std::string> codec) {
        c.image = true;
        c.args = codec;
        c.args.insert(c.args.end(), {"-f", "image2"});
        // One file: each frame replaces the last. A %d pattern: one file per frame.
        if (path.find('%') == std::string::npos) c.args.insert(c.args.end(), {"-update", "1"});
    };
    auto h264 = [&]() {
        c.args = {"-c:v", "libx264", "-crf", "21", "-pix_fmt", "yuv420p"};
        c.evenSize = true;
        c.h264 = true;
    };

    if (ext == "png") {
        imageArgs({"-c:v", "png", "-pix_fmt", StoredName(format)});
        c.keepsAlpha = true;
    } else if (ext == "tif" || ext == "tiff") {
        imageArgs({"-c:v", "tiff", "-pix_fmt", StoredName(format)});
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

void UseDevicePixelFormat(EncoderChoice& choice, const std::string& pixelFormat) {
    if (choice.device) choice.args = {"-f", "v4l2", "-pix_fmt", pixelFormat};
}

std::vector<std::string> AudioArgs(const EncoderChoice& choice, const std::string& codec) {
    if (choice.image || choice.device) return {};
    auto fits = [&](std::initializer_list<const char*> codecs) {
        for (const char* c : codecs)
            if (codec == c) return true;
        return false;
    };
    const std::string& ext = choice.extension;
    std::vector<std::string> copy = {"-c:a", "copy"};
    if (ext == "mkv") return copy;
    if (ext == "webm") return fits({"opus", "vorbis"}) ? copy : std::vector<std::string>{"-c:a", "libopus", "-b:a", "128k"};
    if (ext == "avi") return fits({"mp3", "ac3", "pcm_s16le"}) ? copy : std::vector<std::string>{"-c:a", "libmp3lame", "-b:a", "192k"};
    if (ext == "mov" && fits({"pcm_s16le", "pcm_s24le"})) return copy;
    return fits({"aac", "mp3", "ac3", "eac3", "alac"}) ? copy : std::vector<std::string>{"-c:a", "aac", "-b:a", "160k"};
}

std::vector<std::string> WriterArgs(const std::string& path, const EncoderChoice& choice, PixelFormat format,
                                    const WriterStream& stream) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    // Live frames carry wall-clock times into a video, each written as it came,
    // never resampled to a constant rate (which drops or repeats frames). An
    // image sequence numbers its frames and needs no times: it gets one
    // image per frame at the nominal rate.
    const bool wallclock = stream.wallclock && !choice.image;
    if (wallclock) argv.insert(argv.end(), {"-use_wallclock_as_timestamps", "1"});
    argv.insert(argv.end(), {"-f", "rawvideo", "-pix_fmt", FfmpegName(format),
                             "-s", std::to_string(stream.width) + "x" + std::to_string(stream.height),
                             "-framerate", stream.frameRate, "-i", "-"});
    const bool audio = !stream.audioInput.empty() && !stream.audioArgs.empty();
    if (audio) argv.insert(argv.end(), {"-i", stream.audioInput, "-map", "0:v", "-map", "1:a:0"});
    if (choice.evenSize && (stream.width % 2 != 0 || stream.height % 2 != 0))
        argv.insert(argv.end(), {"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0"});
    argv.insert(argv.end(), choice.args.begin(), choice.args.end());
    if (choice.h264) {
        // Keeps up on two cores beside the decoder and the segmenter: superfast
        // up to 1280x720; above, ultrafast with deblocking and adaptive
        // quantisation back on (x264 spends about half of superfast's time).
        if (static_cast<long>(stream.width) * stream.height <= 1280L * 720)
            argv.insert(argv.end(), {"-preset", "superfast"});
        else
            argv.insert(argv.end(), {"-preset", "ultrafast", "-x264-params", "deblock=1,0,0:aq-mode=1"});
    }
    if (wallclock) argv.insert(argv.end(), {FpsModeOption(), "passthrough"});
    if (audio) {
        argv.insert(argv.end(), stream.audioArgs.begin(), stream.audioArgs.end());
        // The video decides the length (--max-frames, an interrupted run).
        argv.insert(argv.end(), {"-shortest", "-max_muxing_queue_size", "4096"});
    }
    argv.push_back(path);
    return argv;
}

SpawnError FrameWriter::Open(const std::vector<std::string>& args, size_t frameBytes) {
    frameBytes_ = frameBytes;
    return child_.Start(args, Stdio::Pipe, Stdio::Null, Stdio::Inherit);
}

}  // namespace vseg
