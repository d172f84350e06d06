#include "instances/model_location.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "inference/dir_search.h"
#include "inference/model_search.h"

namespace instances {

namespace fs = std::filesystem;

namespace {

// Splits "folder\name" at its last backslash (the model search's separator).
void SplitFound(const std::string& found, ModelLocation& location) {
    const size_t cut = found.rfind('\\');
    location.folder = found.substr(0, cut);
    location.name = found.substr(cut + 1);
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
    if (!configuredName.empty()) {
        location.folder = native.string();
        location.name = configuredName;
        if (fs::is_regular_file(native / configuredName, ec)) return true;
        reason = "the folder '" + path + "' holds no model file '" + configuredName + "'";
        return false;
    }
    // The global search, without a separator doubled at the join.
    std::string folder = path;
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    std::vector<std::string> found;
    SearchModelFiles(folder, ".tesk", found);
    if (found.empty()) {
        reason = "the folder '" + path + "' holds no *.tesk model file (subfolders named *.tesk searched too)";
        return false;
    }
    SplitFound(found.front(), location);
    if (!fs::is_regular_file(NativePath(found.front()), ec)) {
        reason = "the first model the search meets, '" + NativePath(found.front()) + "', is not a regular file";
        return false;
    }
    location.folder = NativePath(location.folder);
    return true;
}

}  // namespace instances
