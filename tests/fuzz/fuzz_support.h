// Helpers shared by the fuzz targets: a reader that turns the fuzzer's bytes
// into values (zeros once they run out, so that every input, the empty one
// included, means something) and per-process scratch files.
#ifndef VIDRA_TESTS_FUZZ_FUZZ_SUPPORT_H
#define VIDRA_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#if defined(_WIN32)
#include <process.h>
#define VIDRA_FUZZ_PID _getpid()
#else
#include <unistd.h>
#define VIDRA_FUZZ_PID getpid()
#endif

// Each target defines this; libFuzzer calls it, and so does the corpus replay.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return used_ >= size_; }
    std::uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }
    template <typename T>
    T Value() {  // little-endian bytes, zero-padded
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) v |= std::uint64_t{Byte()} << (8 * i);
        T out;
        std::memcpy(&out, &v, sizeof out);
        return out;
    }
    // One of n choices (n > 0).
    std::size_t Pick(std::size_t n) { return Byte() % n; }
    // Up to max bytes, as a string ending at the first zero byte or the limit.
    std::string Text(std::size_t max) {
        std::string s;
        for (std::size_t i = 0; i < max && !empty(); ++i) {
            const char c = static_cast<char>(Byte());
            if (c == '\0') break;
            s.push_back(c);
        }
        return s;
    }
    const std::uint8_t* rest() const { return data_ + (used_ < size_ ? used_ : size_); }
    std::size_t rest_size() const { return used_ < size_ ? size_ - used_ : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// Bytes per element of an engine type code (float16 as 2); 0 when unknown.
inline std::int64_t ElementBytes(std::int32_t type) {
    return type == 0 || type == 2 || type == 3 ? 4 : type == 1 ? 2 : type == 4 || type == 5 ? 1 : 0;
}

// N*C*H*W, or -1 when a dimension is not positive or the product passes bound.
inline std::int64_t ElementCount(std::int32_t n, std::int32_t c, std::int32_t h, std::int32_t w,
                                 std::int64_t bound) {
    std::int64_t count = 1;
    for (const std::int64_t d : {n, c, h, w}) {
        if (d <= 0 || count > bound / d) return -1;
        count *= d;
    }
    return count;
}

// A scratch path of this process in the temporary folder.
inline std::string ScratchPath(const std::string& name) {
#if defined(_WIN32)
    const char* tmp = std::getenv("TEMP");
    const std::string dir = tmp ? tmp : ".";
    return dir + "\\vidra-fuzz-" + std::to_string(VIDRA_FUZZ_PID) + "-" + name;
#else
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp && *tmp ? tmp : "/tmp";
    return dir + "/vidra-fuzz-" + std::to_string(VIDRA_FUZZ_PID) + "-" + name;
#endif
}

inline bool WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace fuzz

#endif
