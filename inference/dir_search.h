// Wildcard directory search with the contract of the Windows C runtime's
// _findfirst64i32 family: a pattern "folder\*ext" (either separator), names
// matched without regard to letter case, each entry's name and subdirectory
// attribute. On Windows it reads that family, elsewhere the POSIX directory
// calls; on both, the entries of a folder come in name order as NTFS gives
// them (NameBefore), so every target and file system meets them alike.
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

// Name order of the search: byte by byte with ASCII letters compared as upper
// case (the order of NTFS), shorter first on a common prefix; names that
// differ only in case (possible outside Windows) in byte order.
bool NameBefore(const std::string& a, const std::string& b);

// What identifies a folder however it is reached (links, "..", another
// spelling): device and inode, or on Windows volume serial and file index.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    bool operator<(const FileIdentity& o) const { return device != o.device ? device < o.device : file < o.file; }
};
// False when the folder cannot be reached.
bool FolderIdentity(const std::string& path, FileIdentity& identity);

// True when `name` matches `pattern` ('*' any run, '?' one character),
// letter case not significant (ASCII).
bool WildcardMatch(const char* pattern, const char* name);

// The path as the file system wants it: backslashes become '/' outside Windows.
std::string NativePath(const std::string& path);

#endif
