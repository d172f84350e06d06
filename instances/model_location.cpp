#include "instances/model_location.h"

#include <filesystem>
#include <system_error>

#include "inference/dir_search.h"

namespace instances {

namespace fs = std::filesystem;

namespace {

bool HasModelExtension(const std::string& name) {
    return WildcardMatch("*.tesk", name.c_str());
}

bool FolderHoldsModel(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && HasModelExtension(it->path().filename().string())) return true;
    }
    return false;
}

}  // namespace

bool LocateModel(const std::string& path, const std::string& configuredName,
                 ModelLocation& location, std::string& reason) {
    const fs::path native(NativePath(path));
    std::error_code ec;
    if (fs::is_regular_file(native, ec)) {
        const fs::path parent = native.parent_path();
        location.folder = parent.empty() ? std::string(".") : parent.string();
        location.name = native.filename().string();
        return true;
    }
    if (!fs::is_directory(native, ec)) {
        reason = "no model file or folder at '" + path + "'";
        return false;
    }
    location.folder = native.string();
    location.name = configuredName;
    if (!configuredName.empty()) {
        if (fs::is_regular_file(native / configuredName, ec)) return true;
        reason = "the folder '" + path + "' holds no model file '" + configuredName + "'";
        return false;
    }
    if (FolderHoldsModel(native)) return true;
    reason = "the folder '" + path + "' holds no *.tesk model file";
    return false;
}

}  // namespace instances
