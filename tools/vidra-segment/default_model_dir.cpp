#include "default_model_dir.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

// Path of the build tree's models relative to the build tree's bin/ folder.
#ifndef VIDRA_BUILD_TREE_MODEL_DIR
#define VIDRA_BUILD_TREE_MODEL_DIR ""
#endif

namespace vseg {
namespace {

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Canonical(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) != nullptr ? std::string(buf) : path;
}

}  // namespace

std::string DefaultModelDir() {
    const std::string installed = "../share/vidra/models";
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return installed;
    std::string dir(exe, static_cast<size_t>(n));
    dir.erase(dir.rfind('/') + 1);

    if (IsDir(dir + installed)) return Canonical(dir + installed);
    // A build tree is recognised by its cache beside bin/, so that an
    // installed copy never wanders into an unrelated folder.
    const std::string buildTree = VIDRA_BUILD_TREE_MODEL_DIR;
    if (!buildTree.empty() && IsFile(dir + "../CMakeCache.txt") && IsDir(dir + buildTree))
        return Canonical(dir + buildTree);
    return Canonical(dir + "..") + "/share/vidra/models";
}

}  // namespace vseg
