#include "subprocess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vseg {

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

int Spawn(const std::vector<std::string>& argv, Stdio in, Stdio out, Child& child) {
    int inPipe[2] = {-1, -1}, outPipe[2] = {-1, -1};
    if (in == Stdio::Pipe && pipe2(inPipe, O_CLOEXEC) != 0) return errno;
    if (out == Stdio::Pipe && pipe2(outPipe, O_CLOEXEC) != 0) {
        int e = errno;
        CloseFd(inPipe[0]);
        CloseFd(inPipe[1]);
        return e;
    }

    // Frames are megabytes: a larger pipe means fewer switches between the
    // processes per frame (the default is 64 KiB; failing to grow it is harmless).
    for (int fd : {inPipe[1], outPipe[0]})
        if (fd >= 0) fcntl(fd, F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in == Stdio::Pipe) posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    if (in == Stdio::Null) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out == Stdio::Pipe) posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    // Our own fd 1 carries the library's log: a child never inherits it.
    if (out != Stdio::Pipe) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

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
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);

    CloseFd(inPipe[0]);
    CloseFd(outPipe[1]);
    if (rc != 0) {
        CloseFd(inPipe[1]);
        CloseFd(outPipe[0]);
        return rc;
    }
    child.pid = pid;
    child.stdinFd = inPipe[1];
    child.stdoutFd = outPipe[0];
    return 0;
}

int Finish(Child& child) {
    CloseFd(child.stdinFd);
    CloseFd(child.stdoutFd);
    if (child.pid <= 0) return -1;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(child.pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    child.pid = -1;
    if (r < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

void Terminate(Child& child) {
    // SIGKILL: on SIGTERM ffmpeg would try to finish its output and complain
    // about the pipe we are closing.
    if (child.pid > 0) kill(child.pid, SIGKILL);
    Finish(child);
}

size_t ReadFully(int fd, void* buffer, size_t n) {
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < n) {
        ssize_t r = read(fd, p + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

bool WriteFully(int fd, const void* buffer, size_t n) {
    size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < n) {
        ssize_t w = write(fd, p + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t r = read(fd, chunk, sizeof chunk);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        text.append(chunk, static_cast<size_t>(r));
    }
    return text;
}

}  // namespace vseg
