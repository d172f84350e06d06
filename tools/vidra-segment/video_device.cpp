#include "video_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vseg {

std::string CheckVideoOutputDevice(const std::string& path) {
    const std::string hint =
        " (a virtual camera is made with: sudo modprobe v4l2loopback video_nr=10 card_label=vidra exclusive_caps=1)";
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "no device '" + path + "'" + hint;
    if (!S_ISCHR(st.st_mode)) return "'" + path + "' is not a device" + hint;
    int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "cannot open '" + path + "': " + std::strerror(errno);
    v4l2_capability cap;
    std::memset(&cap, 0, sizeof cap);
    const int rc = ioctl(fd, VIDIOC_QUERYCAP, &cap);
    close(fd);
    if (rc != 0) return "'" + path + "' is not a video4linux device" + hint;
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_OUTPUT))
        return "'" + path + "' (" + reinterpret_cast<const char*>(cap.card) +
               ") takes no frames: it is a camera, not a video output" + hint;
    return "";
}

}  // namespace vseg
