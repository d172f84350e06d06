#include "common/cpu_features.h"

#include <cpuid.h>
#include <cstdint>
#include <cstdlib>

namespace vidra {
namespace {

// XGETBV without -mxsave, so that this file stays baseline code.
uint64_t ReadXcr0() {
    uint32_t eax = 0;
    uint32_t edx = 0;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<uint64_t>(edx) << 32) | eax;
}

bool DetectAvx2() {
    const char* off = std::getenv("VIDRA_DISABLE_AVX2");
    if (off != nullptr && off[0] != '\0' && !(off[0] == '0' && off[1] == '\0')) return false;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid(1, a, b, c, d);
    const bool osxsave = (c & bit_OSXSAVE) != 0;
    const bool avx = (c & bit_AVX) != 0;
    if (!osxsave || !avx) return false;
    // The OS must save both the XMM (bit 1) and YMM (bit 2) state.
    if ((ReadXcr0() & 0x6) != 0x6) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) != 0;
}

}  // namespace

bool CpuHasAvx2() {
    static const bool has = DetectAvx2();
    return has;
}

}  // namespace vidra
