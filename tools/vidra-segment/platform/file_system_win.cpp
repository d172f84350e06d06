// The file system on Windows: UTF-8 paths inside, wide at the API; '/' and
// '\' both separate; drive letters and UNC names (\\server\share\) are roots.
#include "platform/file_system.h"
#include "platform/wide_win.h"

#include <windows.h>
// windows.h names its own ReplaceFile as a macro; ours is vseg::ReplaceFile.
#undef ReplaceFile
#include <winioctl.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace vseg {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Length of the root that a path starts with: "C:\" 3, "C:" 2, "\" 1,
// "\\server\share\" (and "\\?\C:\") up to its last separator, else 0.
size_t RootLength(const std::string& p) {
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
        size_t i = 2;
        for (int part = 0; part < 2; ++part) {
            while (i < p.size() && !IsSeparator(p[i])) ++i;
            if (i >= p.size()) return p.size();
            ++i;
        }
        return i;
    }
    if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
        return p.size() >= 3 && IsSeparator(p[2]) ? 3 : 2;
    return !p.empty() && IsSeparator(p[0]) ? 1 : 0;
}

// Opens path for its attributes only, following links; folders too.
HANDLE OpenForAttributes(const std::string& path, DWORD flags = 0) {
    return CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

std::string RandomName() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::random_device device;
    static std::mt19937 generator(device() ^ GetCurrentProcessId());
    std::uniform_int_distribution<int> pick(0, 35);
    std::string name;
    for (int i = 0; i < 6; ++i) name += kChars[pick(generator)];
    return name;
}

// "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share".
std::wstring WithoutLongPrefix(const std::wstring& p) {
    if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + p.substr(8);
    if (p.compare(0, 4, L"\\\\?\\") == 0) return p.substr(4);
    return p;
}

// The reparse data of a symbolic link or a junction (ntifs.h's layout).
struct LinkData {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset, substituteLength, printOffset, printLength;
    ULONG flags;  // symbolic links only: 1 = relative
};
const ULONG kRelativeLink = 1;

}  // namespace

PathInfo Inspect(const std::string& path) {
    PathInfo info;
    HANDLE h = OpenForAttributes(path);
    if (h == INVALID_HANDLE_VALUE) {
        // In use without sharing, or no right to read attributes: it exists,
        // without a key (two such files compare as one, which only refuses).
        const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            info.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
        return info;
    }
    BY_HANDLE_FILE_INFORMATION fi;
    if (GetFileType(h) == FILE_TYPE_CHAR) {
        info.kind = PathKind::Device;  // NUL, CON, COM1
    } else if (GetFileInformationByHandle(h, &fi)) {
        info.kind = (fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
        info.key.volume = fi.dwVolumeSerialNumber;
        info.key.index = (static_cast<uint64_t>(fi.nFileIndexHigh) << 32) | fi.nFileIndexLow;
    } else {
        info.kind = PathKind::Other;
    }
    CloseHandle(h);
    return info;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t root = RootLength(path);
    size_t sep = path.find_last_of("/\\");
    if (sep != std::string::npos && sep >= root) {
        folder = path.substr(0, sep);
        name = path.substr(sep + 1);
        return;
    }
    name = path.substr(root);
    if (root == 0)
        folder = ".";
    else if (root == 2 && path[1] == ':')
        folder = path.substr(0, 2) + ".";  // "C:x": the current folder of drive C
    else
        folder = path.substr(0, root);
}

bool FollowLink(const std::string& path, std::string& target, std::string& error) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    HANDLE h = OpenForAttributes(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot read the link '" + path + "': " + LastError();
        return true;
    }
    alignas(8) unsigned char buffer[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    DWORD got = 0;
    const BOOL ok = DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, sizeof buffer, &got, nullptr);
    const std::string why = ok ? "" : LastError();
    CloseHandle(h);
    if (!ok) {
        error = "cannot read the link '" + path + "': " + why;
        return true;
    }
    LinkData d;
    std::memcpy(&d, buffer, sizeof d);
    const bool symlink = d.tag == IO_REPARSE_TAG_SYMLINK;
    if (!symlink && d.tag != IO_REPARSE_TAG_MOUNT_POINT) return false;  // not a link to a path
    // Junctions have no flags field: their names start 4 bytes earlier.
    const unsigned char* names = buffer + (symlink ? sizeof(LinkData) : sizeof(LinkData) - sizeof(ULONG));
    auto text = [&](USHORT offset, USHORT length) {
        std::wstring w(length / sizeof(wchar_t), L'\0');
        if (!w.empty()) std::memcpy(&w[0], names + offset, length);
        return w;
    };
    std::wstring link = text(d.printOffset, d.printLength);
    if (link.empty()) {
        link = text(d.substituteOffset, d.substituteLength);
        if (link.compare(0, 4, L"\\??\\") == 0) link = L"\\\\?\\" + link.substr(4);
        link = WithoutLongPrefix(link);
    }
    std::string folder, name;
    SplitPath(path, folder, name);
    target = symlink && (d.flags & kRelativeLink) ? folder + "\\" + Narrow(link) : Narrow(link);
    return true;
}

std::string CanonicalPath(const std::string& path, std::string& error) {
    HANDLE h = OpenForAttributes(path);
    if (h == INVALID_HANDLE_VALUE) {
        error = LastError();
        return "";
    }
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
    }
    CloseHandle(h);
    if (n == 0 || n >= buffer.size()) {
        // Some file systems do not say: the full path, links unresolved.
        const std::wstring wide = Widen(path);
        n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), &buffer[0], nullptr);
        if (n == 0 || n >= buffer.size()) {
            error = LastError();
            return "";
        }
    }
    buffer.resize(n);
    std::string result = Narrow(WithoutLongPrefix(buffer));
    // No trailing separator but on a root ("C:\"), as on POSIX.
    while (result.size() > RootLength(result) && IsSeparator(result.back())) result.pop_back();
    return result;
}

std::string CheckWritableFolder(const std::string& folder) {
    // Windows says whether a file can be created only by creating one: a
    // probe, gone when its handle closes.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string probe = folder + "\\.vidra-probe-" + RandomName();
        HANDLE h = CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return "";
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return LastError();
    }
    return "cannot find a free name for a test file";
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
                           const std::string& /*permissionsOf: the new file takes the folder's ACL*/,
                           std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "\\" + prefix + RandomName() + suffix;
        HANDLE h = CreateFileW(Widen(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            path = name;
            return "";
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return "cannot create a file in '" + folder + "': " + LastError();
}

std::string CreateTempFolder(const std::string& folder, const std::string& prefix, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "\\" + prefix + RandomName();
        if (CreateDirectoryW(Widen(name).c_str(), nullptr)) {
            path = name;
            return "";
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return "cannot create a folder in '" + folder + "': " + LastError();
}

std::string ReplaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return "";
    return "cannot rename '" + from + "' to '" + to + "': " + LastError();
}

void RemoveFile(const std::string& path) { DeleteFileW(Widen(path).c_str()); }

void RemoveEmptyFolder(const std::string& path) { RemoveDirectoryW(Widen(path).c_str()); }

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Widen(folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(name));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::FILE* CreateTextFile(const std::string& path) {
    // Binary: the same bytes as on Linux, one '\n' per line.
    return _wfopen(Widen(path).c_str(), L"wb");
}

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0) return "";
        if (n < buffer.size()) {
            buffer.resize(n);
            return Narrow(WithoutLongPrefix(buffer));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace vseg
