// Virtual camera outputs: a video4linux device that takes frames, such as
// one made by the v4l2loopback kernel module.
#pragma once

#include <string>

namespace vseg {

// "" when path is a video4linux device that accepts output frames; otherwise
// what is wrong (missing, not a device, a capture-only camera), with a hint.
// pixelFormat receives the ffmpeg name of a format the device takes:
// yuv420p when it lists it (or lists none), else the first it lists that
// ffmpeg can write (YUYV, UYVY, NV12, RGB24, BGR24).
std::string CheckVideoOutputDevice(const std::string& path, std::string& pixelFormat);

// "" where live devices and virtual cameras exist (Linux); elsewhere why
// path, a device name such as /dev/video0, cannot be used (a usage error).
std::string DevicesUnsupported(const std::string& path);

}  // namespace vseg
