#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace vseg {
namespace {

bool ParseLong(const std::string& text, long min, long max, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    value = v;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseColor(const std::string& text, uint8_t rgb[3]) {
    std::string hex = (!text.empty() && text[0] == '#') ? text.substr(1) : text;
    if (hex.size() != 6) return false;
    for (int i = 0; i < 3; ++i) {
        int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        rgb[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

std::string ParseOptions(int argc, const char* const* argv, Options& opts) {
    bool sawBackground = false, sawColor = false, sawRemove = false, sawBlur = false;
    std::string inputFormat;
    std::vector<std::string> inputOpts;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.empty()) return "empty argument";
        if (arg[0] != '-') {
            if (!opts.input.empty()) return "more than one input given: '" + opts.input + "' and '" + arg + "'";
            opts.input = arg;
            continue;
        }
        // "--name=value" or "--name value"
        std::string name = arg, value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inlineValue = true;
            }
        }
        auto takeValue = [&](std::string& out) -> bool {
            if (inlineValue) { out = value; return true; }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto needsValue = [&]() { return "option " + name + " needs a value"; };
        std::string v;

        if (name == "-h" || name == "--help") {
            opts.help = true;
        } else if (name == "--version") {
            opts.version = true;
        } else if (name == "-o" || name == "--output") {
            if (!takeValue(opts.output) || opts.output.empty()) return needsValue();
        } else if (name == "-m" || name == "--mask") {
            if (!takeValue(opts.mask) || opts.mask.empty()) return needsValue();
        } else if (name == "--log") {
            if (!takeValue(opts.logFile) || opts.logFile.empty()) return needsValue();
        } else if (name == "--background") {
            if (!takeValue(opts.backgroundImage) || opts.backgroundImage.empty()) return needsValue();
            opts.background = BackgroundMode::Image;
            sawBackground = true;
        } else if (name == "--color") {
            if (!takeValue(v)) return needsValue();
            if (!ParseColor(v, opts.color)) return "--color wants six hex digits RRGGBB, got '" + v + "'";
            opts.background = BackgroundMode::Color;
            sawColor = true;
        } else if (name == "--remove") {
            opts.background = BackgroundMode::Remove;
            sawRemove = true;
        } else if (name == "--blur-radius") {
            long r;
            if (!takeValue(v)) return needsValue();
            if (!ParseLong(v, 1, 200, r)) return "--blur-radius wants a whole number from 1 to 200, got '" + v + "'";
            opts.blurRadius = static_cast<int>(r);
            sawBlur = true;
        } else if (name == "--frame-type") {
            long t;
            if (!takeValue(v)) return needsValue();
            if (!ParseLong(v, 1, 2, t)) return "--frame-type wants 1 (rgb24) or 2 (rgba), got '" + v + "'";
            opts.frameType = static_cast<int>(t);
        } else if (name == "--models") {
            if (!takeValue(opts.modelDir) || opts.modelDir.empty()) return needsValue();
        } else if (name == "--params") {
            if (!takeValue(v)) return needsValue();
            if (v == "144x80") opts.params = ModelParams::k144x80;
            else if (v == "640x480") opts.params = ModelParams::k640x480;
            else return "--params wants 144x80 or 640x480, got '" + v + "'";
        } else if (name == "--threads") {
            long t;
            if (!takeValue(v)) return needsValue();
            if (!ParseLong(v, 0, 64, t)) return "--threads wants a whole number from 0 to 64, got '" + v + "'";
            opts.threads = static_cast<int>(t);
        } else if (name == "--max-frames") {
            long n;
            if (!takeValue(v)) return needsValue();
            if (!ParseLong(v, 1, 1000000000L, n)) return "--max-frames wants a positive whole number, got '" + v + "'";
            opts.maxFrames = n;
        } else if (name == "--input-format") {
            if (!takeValue(inputFormat) || inputFormat.empty()) return needsValue();
        } else if (name == "--input-opt") {
            if (!takeValue(v)) return needsValue();
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) return "--input-opt wants KEY=VALUE, got '" + v + "'";
            inputOpts.push_back("-" + v.substr(0, eq));
            inputOpts.push_back(v.substr(eq + 1));
        } else if (name == "--realtime") {
            opts.realtime = true;
        } else if (name == "--refine") {
            opts.refine = true;
        } else if (name == "--largest-region") {
            opts.largestRegion = true;
        } else if (name == "--no-mask-blur") {
            opts.noMaskBlur = true;
        } else if (name == "--no-smooth") {
            opts.noSmooth = true;
        } else if (name == "--no-audio") {
            opts.noAudio = true;
        } else if (name == "--progress") {
            opts.progress = ProgressMode::On;
        } else if (name == "--no-progress") {
            opts.progress = ProgressMode::Off;
        } else {
            return "unknown option '" + arg + "'";
        }
        static const char* const kSwitches[] = {"--remove", "--help", "--version", "--progress", "--no-progress",
                                                "--realtime", "--refine", "--largest-region",
                                                "--no-mask-blur", "--no-smooth", "--no-audio"};
        bool isSwitch = false;
        for (const char* sw : kSwitches) isSwitch = isSwitch || name == sw;
        if (inlineValue && isSwitch) {
            return "option " + name + " takes no value";
        }
    }

    if (opts.help || opts.version) return "";
    if (opts.input.empty()) return "no input given";
    if (sawBackground + sawColor + sawRemove > 1)
        return "--background, --color and --remove exclude one another";
    if (sawBlur && opts.background != BackgroundMode::Blur)
        return "--blur-radius applies to the blurred background only";

    opts.inputArgs.clear();
    if (!inputFormat.empty()) {
        opts.inputArgs.push_back("-f");
        opts.inputArgs.push_back(inputFormat);
        opts.liveInput = true;
    }
    opts.inputArgs.insert(opts.inputArgs.end(), inputOpts.begin(), inputOpts.end());
    return "";
}

std::string UsageText(const std::string& program, const std::string& defaultModelDir) {
    return "Usage: " + program + " [options] INPUT\n"
"Segments the person in a video, an image or a live source (anything ffmpeg\n"
"reads) with the vidra library, and writes the mask and a composited result.\n"
"\n"
"Output (the kind follows the file name's extension):\n"
"  -o, --output FILE      composited result: .mp4 .mov .mkv .webm .avi (video),\n"
"                         .png .jpg .bmp .tif (image; a video keeps its last\n"
"                         frame unless FILE holds a %d pattern such as f%04d.png),\n"
"                         or /dev/videoN, a v4l2loopback virtual camera\n"
"  -m, --mask FILE        the mask as a gray video or image (.mkv and .png are\n"
"                         lossless)\n"
"      --log FILE         write the library's log there, one message per line,\n"
"                         each with the frame it belongs to (default: none)\n"
"      --no-audio         leave the input's sound out (default: it goes along\n"
"                         into video outputs, copied when the format takes it)\n"
"\n"
"Background of the composited result (default: blurred):\n"
"      --blur-radius N    blur strength in pixels, about the blur's standard\n"
"                         deviation (default: shorter side / 40)\n"
"      --background FILE  replace it with an image, or a video looped to the\n"
"                         input's length (scaled and cropped to fill)\n"
"      --color RRGGBB     replace it with a colour\n"
"      --remove           make it transparent: needs .png/.tif (stills), or\n"
"                         .webm (VP9 with alpha), .mov (QuickTime Animation)\n"
"                         or .mkv (FFV1) for videos\n"
"\n"
"Segmenter:\n"
"      --frame-type 1|2   frames handed over as 1 = RGB (3 bytes per pixel,\n"
"                         default) or 2 = RGBA (4 bytes per pixel)\n"
"      --models PATH      model folder, or a .tesk model file (default folder:\n"
"                         " + defaultModelDir + ")\n"
"      --params 144x80|640x480\n"
"                         parameter record: the default 144x80 model, or the\n"
"                         640x480 one\n"
"      --threads N        engine threads (0 = the calling thread only)\n"
"      --largest-region   keep only the largest person region\n"
"      --no-mask-blur     do not soften the mask's edge\n"
"      --no-smooth        do not damp flicker across frames\n"
"      --refine           pull the mask's edge onto the picture's edges (hair,\n"
"                         shoulders) with the library's refinement\n"
"\n"
"Input:\n"
"      --input-format FMT ffmpeg input format, for live sources: v4l2, x11grab...\n"
"      --input-opt K=V    ffmpeg input option, repeatable (video_size=640x480,\n"
"                         framerate=30, ...)\n"
"      --realtime         read a file at its own frame rate, as a live source\n"
"                         (its sound is kept, in step with the picture)\n"
"      --max-frames N     stop after N frames (a live source runs until Ctrl-C)\n"
"\n"
"  Live sources (a device, a network stream, --realtime) never wait for us:\n"
"  when processing falls behind, frames are dropped (counted in the summary).\n"
"  Frames of a file are all processed.\n"
"\n"
"Other:\n"
"      --progress, --no-progress\n"
"                         force the progress bar on or off (default: shown\n"
"                         when standard error is a terminal)\n"
"  -h, --help             show this text\n"
"      --version          show the tool's and the library's versions\n"
"\n"
"Standard output stays empty; progress, messages and the closing summary go to\n"
"standard error.\n"
"\n"
"Outputs are written under temporary names (starting with '.') in their folders\n"
"and renamed when complete; a failed run leaves nothing under their names.\n"
"\n"
"Exit status: 0 done, 1 processing failed, 2 bad command line (also: an output\n"
"that is the input or another output, or whose folder is missing), 3 input\n"
"missing or unreadable, 4 ffmpeg/ffprobe not found, 5 segmenter creation failed,\n"
"6 interrupted (the outputs hold the frames done), 7 the input ended before its\n"
"announced length (the outputs hold the frames it had), 8 the input's reader\n"
"failed part-way (the message says how; the outputs hold the frames read). A\n"
"missing camera device, or one that takes no frames, is status 3. An output\n"
"that would hold no frame never replaces an earlier file.\n"
"\n"
"Example, webcam with a blurred background into a virtual camera for video\n"
"calls (sudo modprobe v4l2loopback video_nr=10 exclusive_caps=1 first):\n"
"  " + program + " --input-format v4l2 --input-opt video_size=1280x720 \\\n"
"      -o /dev/video10 /dev/video0\n";
}

}  // namespace vseg
