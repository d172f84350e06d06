// A bounded memory copy with the error codes and zero-fill rules of the C
// runtime's memcpy_s, identical on every target and never calling an abort
// handler.
#ifndef VIDRA_COMMON_BOUNDED_COPY_H
#define VIDRA_COMMON_BOUNDED_COPY_H

#include <cstddef>

constexpr int kCopyOk = 0;
constexpr int kCopyInvalid = 22;   // EINVAL: null destination or null source
constexpr int kCopyTooSmall = 34;  // ERANGE: destination smaller than count

// count 0: nothing happens, 0. Null destination: 22. Null source: the
// destination (dstSize bytes) is zero-filled, 22. dstSize < count: the
// destination is zero-filled, 34. Otherwise count bytes are copied, 0.
int BoundedCopy(void* dst, std::size_t dstSize, const void* src, std::size_t count);

#endif
