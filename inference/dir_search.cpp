#include "inference/dir_search.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
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

bool NameBefore(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ua = std::toupper(static_cast<unsigned char>(a[i]));
        const int ub = std::toupper(static_cast<unsigned char>(b[i]));
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names equal but for case (Linux only): a fixed order still
}

namespace {

// All matching entries of one folder, read at the start and handed out in
// name order: the platform's own order is not the same on every file system.
struct Search {
    std::vector<FindEntry> entries;
    size_t next = 0;
};

intptr_t StartSearch(std::unique_ptr<Search> search, FindEntry& entry) {
    if (search->entries.empty()) return -1;
    // A total order (names equal but for case fall back to their bytes), so a
    // plain sort gives the same sequence every time; stable_sort's temporary
    // buffer is also avoided, which clang's sanitizer runtime mismatches.
    std::sort(search->entries.begin(), search->entries.end(),
              [](const FindEntry& a, const FindEntry& b) { return NameBefore(a.name, b.name); });
    entry = search->entries[search->next++];
    return reinterpret_cast<intptr_t>(search.release());
}

}  // namespace

#if defined(_WIN32)

std::string NativePath(const std::string& path) { return path; }

intptr_t FindFirstEntry(const std::string& pattern, FindEntry& entry) {
    _finddata64i32_t data;
    const intptr_t handle = _findfirst64i32(pattern.c_str(), &data);
    if (handle == -1) return -1;
    // Closed however the reading ends.
    struct Closer {
        intptr_t handle;
        ~Closer() { _findclose(handle); }
    } closer{handle};
    auto search = std::make_unique<Search>();
    do {
        search->entries.push_back({data.attrib & kFindSubdirectory, data.name});
    } while (_findnext64i32(handle, &data) == 0);
    return StartSearch(std::move(search), entry);
}

bool FolderIdentity(const std::string& path, FileIdentity& identity) {
    // A folder opens only with backup semantics; no access right is needed
    // to read its volume and file index.
    const HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

#else

std::string NativePath(const std::string& path) {
    std::string native = path;
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

intptr_t FindFirstEntry(const std::string& pattern, FindEntry& entry) {
    const std::string native = NativePath(pattern);
    const size_t cut = native.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string("./") : native.substr(0, cut + 1);
    const std::string wildcard = cut == std::string::npos ? native : native.substr(cut + 1);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return -1;
    struct Closer {
        DIR* dir;
        ~Closer() { closedir(dir); }
    } closer{dir};
    auto search = std::make_unique<Search>();
    while (dirent* d = readdir(dir)) {
        if (!WildcardMatch(wildcard.c_str(), d->d_name)) continue;
        // stat follows links: a link to a folder counts as a folder.
        struct stat info;
        const std::string full = folder + d->d_name;
        const bool isFolder = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        search->entries.push_back({isFolder ? kFindSubdirectory : 0u, d->d_name});
    }
    return StartSearch(std::move(search), entry);
}

bool FolderIdentity(const std::string& path, FileIdentity& identity) {
    struct stat info;
    if (stat(NativePath(path).c_str(), &info) != 0) return false;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.file = static_cast<uint64_t>(info.st_ino);
    return true;
}

#endif

int FindNextEntry(intptr_t handle, FindEntry& entry) {
    if (handle == -1 || handle == 0) return -1;
    Search& search = *reinterpret_cast<Search*>(handle);
    if (search.next >= search.entries.size()) return -1;
    entry = search.entries[search.next++];
    return 0;
}

void FindCloseSearch(intptr_t handle) {
    if (handle != -1 && handle != 0) delete reinterpret_cast<Search*>(handle);
}
