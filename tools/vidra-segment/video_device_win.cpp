#include "video_device.h"

namespace vseg {

std::string CheckVideoOutputDevice(const std::string& path, std::string& /*pixelFormat*/) {
    return "'" + path + "': virtual camera outputs (video4linux devices) exist on Linux only";
}

std::string DevicesUnsupported(const std::string& path) {
    return "'" + path + "' is a Linux device name: live devices and virtual cameras are Linux only "
               "(on Windows, a camera is read with --input-format dshow and an input such as video=NAME)";
}

}  // namespace vseg
