#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vseg {

struct ChildProcess::Handles {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;
    std::mutex killLock;  // Kill may come from another thread than Wait
    bool reaped = true;
};

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

bool MakePipe(int fds[2]) { return pipe2(fds, O_CLOEXEC) == 0; }

}  // namespace

std::string Describe(const ProcessStatus& s) {
    if (!s.waited) return "could not be waited for";
    if (s.signal > 0) return "was killed by signal " + std::to_string(s.signal);
    return "exited with status " + std::to_string(s.exitCode);
}

const char* FfmpegInstallHint() { return "install Debian's ffmpeg package"; }

ChildProcess::ChildProcess() : h_(new Handles) {}

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill();
        Wait();
    }
    CloseFd(h_->in);
    CloseFd(h_->out);
    CloseFd(h_->err);
}

SpawnError ChildProcess::Start(const std::vector<std::string>& argv, Stdio in, Stdio out, Stdio err) {
    int inPipe[2] = {-1, -1}, outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* p : {inPipe, outPipe, errPipe}) {
            CloseFd(p[0]);
            CloseFd(p[1]);
        }
    };
    if ((in == Stdio::Pipe && !MakePipe(inPipe)) || (out == Stdio::Pipe && !MakePipe(outPipe)) ||
        (err == Stdio::Pipe && !MakePipe(errPipe))) {
        closeAll();
        return SpawnError::Other;
    }
    // Frames are megabytes: a larger pipe means fewer switches between the
    // processes per frame (the default is 64 KiB; failing to grow it is harmless).
    for (int fd : {inPipe[1], outPipe[0]})
        if (fd >= 0) fcntl(fd, F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in == Stdio::Pipe) posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    if (in != Stdio::Pipe) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out == Stdio::Pipe) posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (out != Stdio::Pipe) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (err == Stdio::Pipe) posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (err == Stdio::Null) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    CloseFd(inPipe[0]);
    CloseFd(outPipe[1]);
    CloseFd(errPipe[1]);
    if (rc != 0) {
        closeAll();
        return rc == ENOENT ? SpawnError::NotFound : SpawnError::Other;
    }
    h_->pid = pid;
    h_->reaped = false;
    h_->in = inPipe[1];
    h_->out = outPipe[0];
    h_->err = errPipe[0];
    return SpawnError::None;
}

bool ChildProcess::Running() const { return !h_->reaped; }

size_t ChildProcess::Read(void* buffer, size_t n) {
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (h_->out >= 0 && done < n) {
        ssize_t r = read(h_->out, p + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

bool ChildProcess::Write(const void* buffer, size_t n) {
    size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < n) {
        if (h_->in < 0) return false;
        ssize_t w = write(h_->in, p + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

std::string ChildProcess::ReadAll() {
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = Read(chunk, sizeof chunk)) > 0) {
        text.append(chunk, got);
        if (got < sizeof chunk) {
            // Read returns short only at the end.
            break;
        }
    }
    return text;
}

std::string ChildProcess::ReadError() {
    char chunk[1024];
    for (;;) {
        if (h_->err < 0) return "";
        ssize_t r = read(h_->err, chunk, sizeof chunk);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return "";
        return std::string(chunk, static_cast<size_t>(r));
    }
}

void ChildProcess::CloseInput() { CloseFd(h_->in); }
void ChildProcess::CloseOutput() { CloseFd(h_->out); }

ProcessStatus ChildProcess::Wait() {
    CloseFd(h_->in);
    CloseFd(h_->out);
    ProcessStatus s;
    if (h_->reaped) return s;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(h_->pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    {
        std::lock_guard<std::mutex> lock(h_->killLock);
        h_->reaped = true;  // the pid may be reused from here on: Kill must not signal it
    }
    if (r < 0) return s;
    s.waited = true;
    if (WIFEXITED(status)) s.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) s.signal = WTERMSIG(status);
    return s;
}

void ChildProcess::Kill() {
    // SIGKILL: on SIGTERM ffmpeg would try to finish its output and complain
    // about the pipe we are closing.
    std::lock_guard<std::mutex> lock(h_->killLock);
    if (!h_->reaped && h_->pid > 0) kill(h_->pid, SIGKILL);
}

}  // namespace vseg
