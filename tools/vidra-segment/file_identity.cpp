#include "file_identity.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vseg {
namespace {

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

std::string Format(const NamePattern& p, long n) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*ld", p.width, n);
    return p.prefix + digits + p.suffix;
}

}  // namespace

bool ParseNamePattern(const std::string& name, NamePattern& pattern) {
    std::string* part = &pattern.prefix;
    bool seen = false;
    pattern = NamePattern();
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') {
            *part += name[i];
            continue;
        }
        if (i + 1 < name.size() && name[i + 1] == '%') {
            *part += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        int width = 0;
        if (j < name.size() && name[j] == '0') {
            ++j;
            if (j >= name.size() || name[j] < '1' || name[j] > '9') return false;
            width = name[j++] - '0';
        }
        if (seen || j >= name.size() || name[j] != 'd') return false;
        seen = true;
        pattern.width = width;
        part = &pattern.suffix;
        i = j;
    }
    return seen;
}

bool PatternProduces(const NamePattern& p, const std::string& name) {
    if (name.size() < p.prefix.size() + p.suffix.size() + 1) return false;
    if (name.compare(0, p.prefix.size(), p.prefix) != 0) return false;
    if (name.compare(name.size() - p.suffix.size(), p.suffix.size(), p.suffix) != 0) return false;
    const std::string digits = name.substr(p.prefix.size(), name.size() - p.prefix.size() - p.suffix.size());
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    const size_t width = static_cast<size_t>(p.width);
    if (digits.size() < width) return false;
    // Wider than the padding: written without a leading zero.
    return digits.size() == width || digits.size() == 1 || digits[0] != '0';
}

std::string IdentifyFile(const std::string& path, bool pattern, FileIdentity& id) {
    id = FileIdentity();
    id.pattern = pattern;
    std::string folder, name, current = path;
    // Follow the last component's links by hand: the target may not exist yet.
    for (int hops = 0;; ++hops) {
        SplitPath(current, folder, name);
        if (name.empty() || name == "." || name == "..") return "'" + path + "' names a folder, not a file";
        struct stat st;
        if (pattern || lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        if (hops == 40) return "too many symbolic links in '" + path + "'";
        char target[PATH_MAX];
        ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
        if (n < 0) return "cannot read the link '" + current + "': " + std::strerror(errno);
        target[n] = '\0';
        current = target[0] == '/' ? std::string(target) : folder + "/" + target;
    }
    char* real = realpath(folder.c_str(), nullptr);
    if (!real) return "the folder of '" + path + "' (" + folder + ") cannot be used: " + std::strerror(errno);
    id.folder = real;
    std::free(real);
    id.name = name;
    struct stat st;
    if (stat(id.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "the folder of '" + path + "' (" + folder + ") is not a folder";
    id.folderDev = st.st_dev;
    id.folderIno = st.st_ino;
    if (!pattern && stat(id.Path().c_str(), &st) == 0) {
        id.exists = true;
        id.regular = S_ISREG(st.st_mode);
        id.directory = S_ISDIR(st.st_mode);
        id.dev = st.st_dev;
        id.ino = st.st_ino;
    }
    return "";
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists) return a.dev == b.dev && a.ino == b.ino;
    if (a.folderDev != b.folderDev || a.folderIno != b.folderIno) return false;
    if (!a.pattern && !b.pattern) return a.name == b.name;
    NamePattern pa, pb;
    const bool parsedA = a.pattern && ParseNamePattern(a.name, pa);
    const bool parsedB = b.pattern && ParseNamePattern(b.name, pb);
    if (!parsedA) return PatternProduces(pb, a.name);
    if (!parsedB) return PatternProduces(pa, b.name);
    // Two patterns: compare the names each makes for numbers of every length.
    for (long n : {0L, 1L, 9L, 10L, 99L, 100L, 999L, 1000L, 9999L, 10000L, 99999L, 100000L, 1234567L}) {
        if (PatternProduces(pb, Format(pa, n)) || PatternProduces(pa, Format(pb, n))) return true;
    }
    return false;
}

std::string CheckRunFiles(std::vector<RunFile>& files) {
    std::vector<const RunFile*> known;
    for (RunFile& f : files) {
        if (f.path.empty()) continue;
        std::string error = IdentifyFile(f.path, f.pattern, f.id);
        if (!f.written) {
            // Not a file at all (a URL, a lavfi graph): nothing to protect.
            if (!error.empty() || !f.id.exists) continue;
        } else {
            if (!error.empty()) return f.label + ": " + error;
            if (f.id.directory) return f.label + " '" + f.path + "' is a folder";
            if (f.id.exists && !f.id.regular && !f.device)
                return f.label + " '" + f.path + "' is not a regular file";
            if (access(f.id.folder.c_str(), W_OK) != 0)
                return f.label + ": cannot write in the folder '" + f.id.folder + "': " + std::strerror(errno);
        }
        for (const RunFile* other : known) {
            if ((f.written || other->written) && SameFile(f.id, other->id))
                return other->label + " '" + other->path + "' and " + f.label + " '" + f.path + "' are the same file";
        }
        known.push_back(&f);
    }
    return "";
}

}  // namespace vseg
