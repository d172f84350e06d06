#include "ffmpeg_options.h"

#include "platform/process.h"

namespace vseg {
namespace {

const char* g_fpsMode = "-fps_mode";

}  // namespace

const char* FpsModeOption() { return g_fpsMode; }

const char* FpsModeFromHelp(const std::string& help) {
    const bool oldOnly = help.find("-vsync") != std::string::npos && help.find("-fps_mode") == std::string::npos;
    return oldOnly ? "-vsync" : "-fps_mode";
}

void LearnFfmpegOptions() {
    ChildProcess child;
    if (child.Start({"ffmpeg", "-hide_banner", "-h", "long"}, Stdio::Null, Stdio::Pipe, Stdio::Null) != SpawnError::None)
        return;  // starting the reader will say what is wrong
    const std::string help = child.ReadAll();
    if (child.Wait().Ok()) g_fpsMode = FpsModeFromHelp(help);
}

}  // namespace vseg
