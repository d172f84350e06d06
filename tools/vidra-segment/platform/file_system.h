// What the tool needs from the file system, one implementation per platform
// (file_system_posix.cpp; a Windows port adds file_system_win.cpp: volume
// serial number and file index as the key, MoveFileExW to replace, wide
// paths, either separator, drive letters and UNC names).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vseg {

// Which file a path leads to, after links: device and inode on POSIX.
struct FileKey {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileKey& o) const { return volume == o.volume && index == o.index; }
};

enum class PathKind { Missing, File, Folder, Device, Other };

struct PathInfo {
    PathKind kind = PathKind::Missing;  // after following links
    FileKey key;                        // when it exists
};

PathInfo Inspect(const std::string& path);

// Splits at the last separator: "a/b.mp4" -> "a", "b.mp4"; "b.mp4" -> ".", "b.mp4".
void SplitPath(const std::string& path, std::string& folder, std::string& name);

// The target of a symbolic link, as stored, relative targets resolved
// against the link's folder. False when path is no link; error set when it
// is one that cannot be read.
bool FollowLink(const std::string& path, std::string& target, std::string& error);

// The absolute path with links resolved, or "" with error set.
std::string CanonicalPath(const std::string& path, std::string& error);

// "" when files can be created in folder, else why not.
std::string CheckWritableFolder(const std::string& folder);

// Creates an empty file "folder/PREFIX<random>SUFFIX" with the permissions
// of permissionsOf when that file exists (else those of a new file), or a
// folder "folder/PREFIX<random>". Returns "" and sets path, or why not.
std::string CreateTempFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
                           const std::string& permissionsOf, std::string& path);
std::string CreateTempFolder(const std::string& folder, const std::string& prefix, std::string& path);

// Moves from to to in one step, replacing a file already there. "" or why not.
std::string ReplaceFile(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);
void RemoveEmptyFolder(const std::string& path);
// Names in folder, "." and ".." left out, in no particular order.
std::vector<std::string> ListFolder(const std::string& folder);

// Creates (or empties) a file for writing text; null with errno set on failure.
std::FILE* CreateTextFile(const std::string& path);

// This program's own file, or "" when the system does not say.
std::string ExecutablePath();

}  // namespace vseg
