#include "platform/file_system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vseg {
namespace {

std::string Errno() { return std::strerror(errno); }

// The permissions a new file would get (0666 less the umask), or those of
// the file being replaced.
mode_t FinalMode(const std::string& existing) {
    struct stat st;
    if (!existing.empty() && stat(existing.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

PathInfo Inspect(const std::string& path) {
    PathInfo info;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return info;
    info.kind = S_ISREG(st.st_mode)   ? PathKind::File
                : S_ISDIR(st.st_mode) ? PathKind::Folder
                : S_ISCHR(st.st_mode) ? PathKind::Device
                                      : PathKind::Other;
    info.key.volume = static_cast<uint64_t>(st.st_dev);
    info.key.index = static_cast<uint64_t>(st.st_ino);
    return info;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

bool FollowLink(const std::string& path, std::string& target, std::string& error) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    char buffer[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) {
        error = "cannot read the link '" + path + "': " + Errno();
        return true;
    }
    buffer[n] = '\0';
    std::string folder, name;
    SplitPath(path, folder, name);
    target = buffer[0] == '/' ? std::string(buffer) : folder + "/" + buffer;
    return true;
}

std::string CanonicalPath(const std::string& path, std::string& error) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) {
        error = Errno();
        return "";
    }
    std::string result = real;
    std::free(real);
    return result;
}

std::string CheckWritableFolder(const std::string& folder) {
    return access(folder.c_str(), W_OK) == 0 ? "" : Errno();
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
                           const std::string& permissionsOf, std::string& path) {
    std::string name = folder + "/" + prefix + "XXXXXX" + suffix;
    const int fd = mkostemps(&name[0], static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) return "cannot create a file in '" + folder + "': " + Errno();
    fchmod(fd, FinalMode(permissionsOf));
    close(fd);
    path = name;
    return "";
}

std::string CreateTempFolder(const std::string& folder, const std::string& prefix, std::string& path) {
    std::string name = folder + "/" + prefix + "XXXXXX";
    if (!mkdtemp(&name[0])) return "cannot create a folder in '" + folder + "': " + Errno();
    path = name;
    return "";
}

std::string ReplaceFile(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) == 0) return "";
    return "cannot rename '" + from + "' to '" + to + "': " + Errno();
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

void RemoveEmptyFolder(const std::string& path) { rmdir(path.c_str()); }

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

std::FILE* CreateTextFile(const std::string& path) { return std::fopen(path.c_str(), "w"); }

std::string ExecutablePath() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, static_cast<size_t>(n)) : "";
}

}  // namespace vseg
