// An output written under a temporary name in its own folder and renamed to
// its real name only when complete, so that a failed run leaves nothing (and
// any earlier file of that name untouched) under the output's name. Temporary
// names start with a dot: ".NAME-vidra-XXXXXX.EXT" for a file, a folder
// ".vidra-segment-XXXXXX" holding the files of an image-sequence pattern.
#pragma once

#include "file_identity.h"

#include <string>

namespace vseg {

class StagedOutput {
public:
    StagedOutput() = default;
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;
    ~StagedOutput() { Discard(); }

    // Creates the temporary file (or folder) beside target. Returns "" or why not.
    std::string Create(const FileIdentity& target);
    // Where the encoder writes: the temporary file, or the pattern inside the folder.
    const std::string& WritePath() const { return writePath_; }
    // Moves the result to its name (every file of a pattern). Returns "" or why not;
    // on failure whatever was not moved is removed.
    std::string Commit();
    // Removes the temporary file or folder; nothing else is touched.
    void Discard();

private:
    FileIdentity target_;
    std::string tempPath_;   // file, or folder for a pattern
    std::string writePath_;
    bool pattern_ = false;
};

}  // namespace vseg
