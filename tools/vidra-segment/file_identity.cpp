#include "file_identity.h"

#include <cstdio>

namespace vseg {
namespace {

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
    std::string folder, name, current = path, error;
    // Follow the last component's links by hand: the target may not exist yet.
    for (int hops = 0;; ++hops) {
        SplitPath(current, folder, name);
        if (name.empty() || name == "." || name == "..") return "'" + path + "' names a folder, not a file";
        std::string target;
        if (pattern || !FollowLink(current, target, error)) break;
        if (!error.empty()) return error;
        if (hops == 40) return "too many symbolic links in '" + path + "'";
        current = target;
    }
    id.folder = CanonicalPath(folder, error);
    if (id.folder.empty()) return "the folder of '" + path + "' (" + folder + ") cannot be used: " + error;
    id.name = name;
    const PathInfo where = Inspect(id.folder);
    if (where.kind != PathKind::Folder) return "the folder of '" + path + "' (" + folder + ") is not a folder";
    id.folderKey = where.key;
    const PathInfo file = pattern ? PathInfo() : Inspect(id.Path());
    if (file.kind != PathKind::Missing) {
        id.exists = true;
        id.regular = file.kind == PathKind::File;
        id.directory = file.kind == PathKind::Folder;
        id.key = file.key;
    }
    return "";
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists) return a.key == b.key;
    if (!(a.folderKey == b.folderKey)) return false;
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
            const std::string why = CheckWritableFolder(f.id.folder);
            if (!why.empty()) return f.label + ": cannot write in the folder '" + f.id.folder + "': " + why;
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
