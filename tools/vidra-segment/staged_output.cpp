#include "staged_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vseg {
namespace {

// The permissions a new file would get (0666 less the umask), or those of
// the file being replaced.
mode_t FinalMode(const FileIdentity& target) {
    struct stat st;
    if (target.exists && stat(target.Path().c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

std::string StagedOutput::Create(const FileIdentity& target) {
    Discard();
    target_ = target;
    pattern_ = target.pattern;
    if (pattern_) {
        std::string folder = target.folder + "/.vidra-segment-XXXXXX";
        if (!mkdtemp(&folder[0]))
            return "cannot create a folder in '" + target.folder + "': " + std::strerror(errno);
        tempPath_ = folder;
        writePath_ = folder + "/" + target.name;
        return "";
    }
    // Keep the extension: ffmpeg picks the container by it.
    size_t dot = target.name.find_last_of('.');
    std::string stem = dot == std::string::npos || dot == 0 ? target.name : target.name.substr(0, dot);
    std::string ext = dot == std::string::npos || dot == 0 ? "" : target.name.substr(dot);
    std::string path = target.folder + "/." + stem + "-vidra-XXXXXX" + ext;
    int fd = mkostemps(&path[0], static_cast<int>(ext.size()), O_CLOEXEC);
    if (fd < 0) return "cannot create a file in '" + target.folder + "': " + std::strerror(errno);
    fchmod(fd, FinalMode(target));
    close(fd);
    tempPath_ = writePath_ = path;
    return "";
}

std::string StagedOutput::Commit() {
    if (tempPath_.empty()) return "";
    std::string error;
    if (!pattern_) {
        if (rename(tempPath_.c_str(), target_.Path().c_str()) != 0)
            error = "cannot rename '" + tempPath_ + "' to '" + target_.Path() + "': " + std::strerror(errno);
    } else {
        for (const std::string& name : ListFolder(tempPath_)) {
            std::string from = tempPath_ + "/" + name, to = target_.folder + "/" + name;
            if (rename(from.c_str(), to.c_str()) != 0 && error.empty())
                error = "cannot rename '" + from + "' to '" + to + "': " + std::strerror(errno);
        }
    }
    Discard();
    return error;
}

void StagedOutput::Discard() {
    if (tempPath_.empty()) return;
    if (pattern_) {
        for (const std::string& name : ListFolder(tempPath_)) unlink((tempPath_ + "/" + name).c_str());
        rmdir(tempPath_.c_str());
    } else {
        unlink(tempPath_.c_str());
    }
    tempPath_.clear();
    writePath_.clear();
}

}  // namespace vseg
