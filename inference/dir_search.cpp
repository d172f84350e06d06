#include "inference/dir_search.h"

#include <cctype>

#if defined(_WIN32)
#include <io.h>
#else
#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#endif

bool WildcardMatch(const char* pattern, const char* name) {
    // Greedy matching with one backtrack point: the last '*' seen.
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        const unsigned char pc = static_cast<unsigned char>(*pattern);
        const unsigned char nc = static_cast<unsigned char>(*name);
        if (pc == '*') {
            starPattern = pattern++;
            starName = name;
        } else if (pc != '\0' && (pc == '?' || std::tolower(pc) == std::tolower(nc))) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            pattern = starPattern + 1;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

#if defined(_WIN32)

std::string NativePath(const std::string& path) { return path; }

namespace {
void Fill(const _finddata64i32_t& data, FindEntry& entry) {
    entry.attrib = data.attrib & kFindSubdirectory;
    entry.name = data.name;
}
}  // namespace

intptr_t FindFirstEntry(const std::string& pattern, FindEntry& entry) {
    _finddata64i32_t data;
    const intptr_t handle = _findfirst64i32(pattern.c_str(), &data);
    if (handle != -1) Fill(data, entry);
    return handle;
}

int FindNextEntry(intptr_t handle, FindEntry& entry) {
    _finddata64i32_t data;
    const int status = _findnext64i32(handle, &data);
    if (status == 0) Fill(data, entry);
    return status;
}

void FindCloseSearch(intptr_t handle) { _findclose(handle); }

#else

std::string NativePath(const std::string& path) {
    std::string native = path;
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

namespace {

struct Search {
    DIR* dir = nullptr;
    std::string folder;    // with a trailing '/'
    std::string wildcard;  // the part after the last separator
    ~Search() {
        if (dir != nullptr) closedir(dir);
    }
};

// Reads entries until one matches; false at the end of the folder.
bool NextMatch(Search& search, FindEntry& entry) {
    while (dirent* d = readdir(search.dir)) {
        if (!WildcardMatch(search.wildcard.c_str(), d->d_name)) continue;
        struct stat info;
        const std::string full = search.folder + d->d_name;
        entry.name = d->d_name;
        entry.attrib = (stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) ? kFindSubdirectory : 0;
        return true;
    }
    return false;
}

}  // namespace

intptr_t FindFirstEntry(const std::string& pattern, FindEntry& entry) {
    const std::string native = NativePath(pattern);
    const size_t cut = native.rfind('/');
    auto search = std::make_unique<Search>();
    search->folder = cut == std::string::npos ? std::string("./") : native.substr(0, cut + 1);
    search->wildcard = cut == std::string::npos ? native : native.substr(cut + 1);
    search->dir = opendir(search->folder.c_str());
    if (search->dir == nullptr || !NextMatch(*search, entry)) return -1;
    return reinterpret_cast<intptr_t>(search.release());
}

int FindNextEntry(intptr_t handle, FindEntry& entry) {
    if (handle == -1 || handle == 0) return -1;
    return NextMatch(*reinterpret_cast<Search*>(handle), entry) ? 0 : -1;
}

void FindCloseSearch(intptr_t handle) {
    if (handle != -1 && handle != 0) delete reinterpret_cast<Search*>(handle);
}

#endif
