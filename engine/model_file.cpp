#include "engine/model_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace tesk {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
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
