// Virtual camera outputs: a video4linux device that takes frames, such as
// one made by the v4l2loopback kernel module.
#pragma once

#include <string>

namespace vseg {

// "" when path is a video4linux device that accepts output frames; otherwise
// what is wrong (missing, not a device, a capture-only camera), with a hint.
std::string CheckVideoOutputDevice(const std::string& path);

}  // namespace vseg
