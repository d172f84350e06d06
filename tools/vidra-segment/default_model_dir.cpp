#include "default_model_dir.h"

#include "platform/file_system.h"

// Path of the build tree's models relative to the build tree's bin/ folder.
#ifndef VIDRA_BUILD_TREE_MODEL_DIR
#define VIDRA_BUILD_TREE_MODEL_DIR ""
#endif

namespace vseg {
namespace {

std::string Canonical(const std::string& path) {
    std::string error;
    const std::string real = CanonicalPath(path, error);
    return real.empty() ? path : real;
}

}  // namespace

std::string DefaultModelDir() {
    const std::string installed = "../share/vidra/models";
    const std::string exe = ExecutablePath();
    if (exe.empty()) return installed;
    std::string dir, name;
    SplitPath(exe, dir, name);
    dir += "/";

    if (Inspect(dir + installed).kind == PathKind::Folder) return Canonical(dir + installed);
    // A build tree is recognised by its cache beside bin/, so that an
    // installed copy never wanders into an unrelated folder.
    const std::string buildTree = VIDRA_BUILD_TREE_MODEL_DIR;
    if (!buildTree.empty() && Inspect(dir + "../CMakeCache.txt").kind == PathKind::File &&
        Inspect(dir + buildTree).kind == PathKind::Folder)
        return Canonical(dir + buildTree);
    return Canonical(dir + "..") + "/share/vidra/models";
}

}  // namespace vseg
