#include "inference/model_search.h"

#include <cstdint>
#include <set>

#include "inference/dir_search.h"

namespace {

constexpr char kSeparator = '\\';

// Subfolders named like models are searched this many levels deep at most.
constexpr int kMaxSearchDepth = 16;

// The recursive search: each folder once (links back up would otherwise make
// it endless), none deeper than kMaxSearchDepth.
void ScanFolder(const std::string& folder, const std::string& extension, std::vector<std::string>& found,
                std::set<FileIdentity>& visited, int depth) {
    FileIdentity identity;
    if (FolderIdentity(NativePath(folder), identity) && !visited.insert(identity).second) return;
    FindEntry entry;
    const intptr_t handle = FindFirstEntry(folder + kSeparator + "*" + extension, entry);
    if (handle == -1) return;
    // Closed however the scan ends (a string or list that cannot grow throws).
    struct Closer {
        intptr_t handle;
        ~Closer() { FindCloseSearch(handle); }
    } closer{handle};
    do {
        if (entry.attrib & kFindSubdirectory) {
            if (entry.name != "." && entry.name != ".." && depth < kMaxSearchDepth)
                ScanFolder(folder + kSeparator + entry.name, extension, found, visited, depth + 1);
        } else {
            found.push_back(folder + kSeparator + entry.name);
        }
    } while (FindNextEntry(handle, entry) == 0);
}


}  // namespace

void SearchModelFiles(const std::string& folder, const std::string& extension,
                      std::vector<std::string>& found) {
    std::set<FileIdentity> visited;
    ScanFolder(folder, extension, found, visited, 0);
}
