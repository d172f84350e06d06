// Wildcard directory search with the contract of the Windows C runtime's
// _findfirst64i32 family: a pattern "folder\*ext" (either separator), names
// matched without regard to letter case, each entry's name and subdirectory
// attribute. On Windows it is that family; elsewhere a layer over the POSIX
// directory calls.
#ifndef VIDRA_INFERENCE_DIR_SEARCH_H
#define VIDRA_INFERENCE_DIR_SEARCH_H

#include <cstdint>
#include <string>

constexpr unsigned kFindSubdirectory = 0x10;

struct FindEntry {
    unsigned attrib = 0;
    std::string name;
};

// Starts a search; returns -1 when nothing matches or the folder cannot be
// searched, otherwise a handle, with the first entry in `entry`.
intptr_t FindFirstEntry(const std::string& pattern, FindEntry& entry);
// The next entry: 0, or non-zero when there is none.
int FindNextEntry(intptr_t handle, FindEntry& entry);
void FindCloseSearch(intptr_t handle);

// True when `name` matches `pattern` ('*' any run, '?' one character),
// letter case not significant (ASCII).
bool WildcardMatch(const char* pattern, const char* name);

// The path as the file system wants it: backslashes become '/' outside Windows.
std::string NativePath(const std::string& path);

#endif
