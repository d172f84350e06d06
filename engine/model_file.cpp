#include "engine/model_file.h"

#include <sys/stat.h>
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <memory>

namespace tesk {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Checked by path before opening: opening a FIFO or a device can wait forever.
bool NamesRegularFile(const char* path) {
#if defined(_WIN32)
    struct _stat64 st;
    return _stat64(path, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
#endif
}

// Opens for reading without waiting (a FIFO put in place after the check
// opens at once on Linux, and fails the check on the open file below).
std::FILE* OpenForReading(const char* path) {
#if defined(_WIN32)
    return std::fopen(path, "rb");
#else
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "rb");
    if (f == nullptr) close(fd);
    return f;
#endif
}

bool IsRegularFile(std::FILE* f, long long* size) {
#if defined(_WIN32)
    struct _stat64 st;
    if (_fstat64(_fileno(f), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return false;
#endif
    *size = static_cast<long long>(st.st_size);
    return true;
}

}  // namespace

bool ReadModelFile(const char* path, std::vector<unsigned char>* bytes) {
    if (!NamesRegularFile(path)) {
        std::fprintf(stderr, "tesk: %s is not a regular file\n", path);
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    long long size = 0;
    if (!file || !IsRegularFile(file.get(), &size)) {
        std::fprintf(stderr, "tesk: cannot open model file %s\n", path);
        return false;
    }
    // A model larger than 2 GiB is not a protobuf the runtime can parse.
    if (size <= 0 || size > 0x7fffffffLL) {
        std::fprintf(stderr, "tesk: model file %s is empty or too large\n", path);
        return false;
    }
    bytes->resize(static_cast<std::size_t>(size));
    if (std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
        std::fprintf(stderr, "tesk: cannot read model file %s\n", path);
        return false;
    }
    return true;
}

}  // namespace tesk
