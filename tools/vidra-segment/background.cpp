#include "background.h"

#include "options.h"
#include "probe.h"

namespace vseg {

int Background::Prepare(const std::string& path, int width, int height, std::string& why) {
    path_ = path;
    width_ = width;
    height_ = height;
    InputInfo info;
    const ProbeResult probed = ProbeInput(path, {}, false, info, why);
    if (probed == ProbeResult::NoProgram) return kExitNoFfmpeg;
    why = "cannot decode the background '" + path + "'";
    if (probed != ProbeResult::Ok) return kExitInput;
    if (info.still) {
        bool ok = false;
        const SpawnError rc = LoadCoverImage(path, width, height, still_, ok);
        if (rc == SpawnError::NotFound) return kExitNoFfmpeg;
        if (!ok) return kExitInput;
    }
    why.clear();
    return kExitOk;
}

SpawnError Background::Start(const std::string& frameRate) {
    if (!IsVideo()) return SpawnError::None;
    return video_.Start(LoopedCoverArgs(path_, width_, height_, frameRate),
                        static_cast<size_t>(width_) * height_ * 3, 3, false);
}

const uint8_t* Background::Next(const std::function<bool()>& stop) {
    if (!IsVideo()) return still_.data();
    current_ = video_.Next(stop);
    return current_ ? current_->data() : nullptr;
}

void Background::Done() {
    if (current_) video_.Done(current_);
    current_ = nullptr;
}

}  // namespace vseg
