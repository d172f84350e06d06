// Which file a path names, by identity rather than by spelling: "./a.mp4",
// "a.mp4", a symbolic link to it and a hard link all name one file. Checked
// for every pair of input, outputs and log before anything is opened for
// writing.
#pragma once

#include "platform/file_system.h"

#include <string>
#include <vector>

namespace vseg {

struct FileIdentity {
    std::string folder;       // the folder holding the file, links resolved
    std::string name;         // the file's name in it, after following links
    FileKey folderKey;
    bool exists = false;      // the file exists: key is its own
    bool regular = false;     // and is a regular file
    bool directory = false;
    FileKey key;
    bool pattern = false;     // name is an image-sequence pattern (frame%04d.png)

    std::string Path() const { return folder + "/" + name; }
};

// Resolves path: its folder through realpath, then the last component through
// its chain of symbolic links. Returns "" or why the path names no possible
// file (folder missing, too many links). Does not require the file to exist.
std::string IdentifyFile(const std::string& path, bool pattern, FileIdentity& id);

// True when writing one could change what the other holds: the same file, or
// a pattern whose files include the other's name (or another pattern's).
bool SameFile(const FileIdentity& a, const FileIdentity& b);

// An ffmpeg image-sequence name: one %d or %0Nd (N up to 9), '%%' for a
// literal '%'. Returns false for any other use of '%'.
struct NamePattern {
    std::string prefix, suffix;
    int width = 0;  // minimum digits, zero-padded
};
bool ParseNamePattern(const std::string& name, NamePattern& pattern);

// Whether one of the names that pattern produces (numbers from 0 up) is name.
bool PatternProduces(const NamePattern& pattern, const std::string& name);

// One file the run reads or writes, as the command line names it.
struct RunFile {
    std::string label;       // for messages: "the input", "--output", ...
    std::string path;
    bool written = false;    // an output or the log
    bool pattern = false;
    bool device = false;     // may be a device (a live input, a virtual camera)
    FileIdentity id;         // filled by CheckRunFiles
};

// Identifies every file; a file read that does not exist (a URL, a device
// description) is left out. Refuses an output that is a folder, a written
// file whose folder is missing or not writable, and any two files of which
// one is written and both are the same. Returns "" or the first problem.
std::string CheckRunFiles(std::vector<RunFile>& files);

}  // namespace vseg
