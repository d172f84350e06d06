#include "common/bounded_copy.h"

#include <cstring>

int BoundedCopy(void* dst, std::size_t dstSize, const void* src, std::size_t count) {
    if (count == 0) return kCopyOk;
    if (dst == nullptr) return kCopyInvalid;
    if (src == nullptr) {
        std::memset(dst, 0, dstSize);
        return kCopyInvalid;
    }
    if (dstSize < count) {
        std::memset(dst, 0, dstSize);
        return kCopyTooSmall;
    }
    std::memmove(dst, src, count);
    return kCopyOk;
}
