#include "staged_output.h"

#include "platform/file_system.h"

namespace vseg {

std::string StagedOutput::Create(const FileIdentity& target) {
    Discard();
    target_ = target;
    pattern_ = target.pattern;
    if (pattern_) {
        std::string error = CreateTempFolder(target.folder, ".vidra-segment-", tempPath_);
        if (error.empty()) writePath_ = tempPath_ + "/" + target.name;
        return error;
    }
    // Keep the extension: ffmpeg picks the container by it.
    const size_t dot = target.name.find_last_of('.');
    const bool plain = dot == std::string::npos || dot == 0;
    const std::string stem = plain ? target.name : target.name.substr(0, dot);
    const std::string ext = plain ? "" : target.name.substr(dot);
    std::string error = CreateTempFile(target.folder, "." + stem + "-vidra-", ext,
                                       target.exists ? target.Path() : "", tempPath_);
    if (error.empty()) writePath_ = tempPath_;
    return error;
}

std::string StagedOutput::Commit() {
    if (tempPath_.empty()) return "";
    std::string error;
    if (!pattern_) {
        error = ReplaceFile(tempPath_, target_.Path());
    } else {
        for (const std::string& name : ListFolder(tempPath_)) {
            std::string why = ReplaceFile(tempPath_ + "/" + name, target_.folder + "/" + name);
            if (error.empty()) error = why;
        }
    }
    if (error.empty() && !pattern_) tempPath_.clear();
    Discard();
    return error;
}

void StagedOutput::Discard() {
    if (tempPath_.empty()) return;
    if (pattern_) {
        for (const std::string& name : ListFolder(tempPath_)) RemoveFile(tempPath_ + "/" + name);
        RemoveEmptyFolder(tempPath_);
    } else {
        RemoveFile(tempPath_);
    }
    tempPath_.clear();
    writePath_.clear();
}

}  // namespace vseg
