// ffmpeg options whose spelling changed between releases. The tool meets
// ffmpeg 4 (older Windows builds) as well as 9, which knows only the new one.
#pragma once

#include <string>

namespace vseg {

// How frames are timed on output: "-fps_mode" (ffmpeg 5.1 and later) or
// "-vsync" (before 5.1). "-fps_mode" until LearnFfmpegOptions says otherwise.
const char* FpsModeOption();

// Asks the ffmpeg on PATH (its long help) which spelling it takes; keeps
// "-fps_mode" when it cannot tell. Once per run, before any argument list.
void LearnFfmpegOptions();

// The spelling a help text shows: "-vsync" only when it lists that and not
// "-fps_mode".
const char* FpsModeFromHelp(const std::string& help);

}  // namespace vseg
