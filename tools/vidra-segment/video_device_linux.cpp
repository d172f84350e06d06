#include "video_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vseg {
namespace {

const char* FfmpegPixelFormat(uint32_t fourcc) {
    switch (fourcc) {
    case V4L2_PIX_FMT_YUV420: return "yuv420p";
    case V4L2_PIX_FMT_YUYV: return "yuyv422";
    case V4L2_PIX_FMT_UYVY: return "uyvy422";
    case V4L2_PIX_FMT_NV12: return "nv12";
    case V4L2_PIX_FMT_RGB24: return "rgb24";
    case V4L2_PIX_FMT_BGR24: return "bgr24";
    default: return nullptr;
    }
}

std::string ChooseFormat(int fd) {
    const char* first = nullptr;
    for (uint32_t i = 0; i < 64; ++i) {
        v4l2_fmtdesc desc;
        std::memset(&desc, 0, sizeof desc);
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
        if (ioctl(fd, VIDIOC_ENUM_FMT, &desc) != 0) break;
        if (desc.pixelformat == V4L2_PIX_FMT_YUV420) return "yuv420p";
        if (!first) first = FfmpegPixelFormat(desc.pixelformat);
    }
    return first ? first : "yuv420p";
}

}  // namespace

std::string CheckVideoOutputDevice(const std::string& path, std::string& pixelFormat) {
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
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    std::string error;
    if (rc != 0) {
        error = "'" + path + "' is not a video4linux device" + hint;
    } else if (!(caps & V4L2_CAP_VIDEO_OUTPUT)) {
        error = "'" + path + "' (" + reinterpret_cast<const char*>(cap.card) +
                ") takes no frames: it is a camera, not a video output" + hint;
    } else {
        pixelFormat = ChooseFormat(fd);
    }
    close(fd);
    return error;
}

std::string DevicesUnsupported(const std::string&) { return ""; }

}  // namespace vseg
