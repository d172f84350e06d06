// Child processes (ffmpeg, ffprobe) started without a shell, talking through
// pipes. One implementation per platform (process_posix.cpp; a Windows port
// adds process_win.cpp with CreateProcessW and anonymous pipes).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vseg {

enum class Stdio { Inherit, Pipe, Null };

// How a child ended.
struct ProcessStatus {
    bool waited = false;  // false: never started, or the wait failed
    int exitCode = -1;    // when it exited
    int signal = 0;       // > 0: killed by this signal (POSIX only)

    bool Ok() const { return waited && signal == 0 && exitCode == 0; }
};

// "exited with status 1", "was killed by signal 9".
std::string Describe(const ProcessStatus& status);

// How ffmpeg and ffprobe are put where Start finds them on this system.
const char* FfmpegInstallHint();

// Starting a child fails with one of these.
enum class SpawnError { None, NotFound, Other };

class ChildProcess {
public:
    ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills a child still running and waits for it.
    ~ChildProcess();

    // Starts argv[0], searched on PATH, in a process group of its own so that
    // a terminal's Ctrl-C reaches only us; it never inherits our standard
    // output. stderr: Inherit (ours) or Pipe (read with ReadError).
    SpawnError Start(const std::vector<std::string>& argv, Stdio in, Stdio out, Stdio err);
    bool Running() const;

    // Exactly n bytes unless the stream ends first; the count read.
    size_t Read(void* buffer, size_t n);
    bool Write(const void* buffer, size_t n);
    std::string ReadAll();
    // Some of the child's standard error (blocks); "" at its end.
    std::string ReadError();
    // Ends the child's standard input (it sees the end of its input) or our
    // reading of its output.
    void CloseInput();
    void CloseOutput();

    // Closes our pipe ends and waits.
    ProcessStatus Wait();
    // Stops the child at once (a blocked Read on another thread returns); Wait still follows.
    void Kill();

private:
    struct Handles;
    std::unique_ptr<Handles> h_;
};

}  // namespace vseg
