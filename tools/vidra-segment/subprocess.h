// Child processes (ffmpeg, ffprobe) started without a shell, talking through pipes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vseg {

enum class Stdio { Inherit, Pipe, Null };

struct Child {
    pid_t pid = -1;
    int stdinFd = -1;   // our end of the child's standard input, when piped
    int stdoutFd = -1;  // our end of the child's standard output, when piped
};

// Starts argv[0] (searched on PATH) in its own process group, so that a
// terminal's Ctrl-C reaches only us. The child's standard error is ours.
// Returns 0 or an errno value (ENOENT: program not found).
int Spawn(const std::vector<std::string>& argv, Stdio in, Stdio out, Child& child);

// Closes our pipe ends and waits. Returns the exit status, 128 + signal
// number when the child was killed, or -1 when there was no child.
int Finish(Child& child);

// Stops the child at once and waits for it.
void Terminate(Child& child);

// Reads exactly n bytes unless the stream ends first; returns the count read.
size_t ReadFully(int fd, void* buffer, size_t n);
bool WriteFully(int fd, const void* buffer, size_t n);
std::string ReadAll(int fd);

// Closes fd (when open) and sets it to -1.
void CloseFd(int& fd);

}  // namespace vseg
