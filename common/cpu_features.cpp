#include "common/cpu_features.h"

#include <cpuid.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vidra {
namespace {

// XGETBV without -mxsave, so that this file stays baseline code.
uint64_t ReadXcr0() {
    uint32_t eax = 0;
    uint32_t edx = 0;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<uint64_t>(edx) << 32) | eax;
}

CpuTier Detect() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return CpuTier::kSse2;
    __cpuid(1, a, b, c, d);
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return CpuTier::kSse2;
    const uint64_t xcr0 = ReadXcr0();
    // The OS must save the XMM (bit 1) and YMM (bit 2) state ...
    if ((xcr0 & 0x6) != 0x6) return CpuTier::kSse2;
    __cpuid_count(7, 0, a, b, c, d);
    if ((b & bit_AVX2) == 0) return CpuTier::kSse2;
    // ... and for AVX-512 the opmask and both halves of the ZMM state (5-7).
    const unsigned avx512 = bit_AVX512F | bit_AVX512BW | bit_AVX512DQ | bit_AVX512VL;
    if ((b & avx512) != avx512 || (xcr0 & 0xE6) != 0xE6) return CpuTier::kAvx2;
    return CpuTier::kAvx512;
}

bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
}

CpuTier Limit(CpuTier tier) {
    if (Set("VIDRA_DISABLE_AVX2") && tier > CpuTier::kSse2) tier = CpuTier::kSse2;
    const char* wanted = std::getenv("VIDRA_CPU_TIER");
    if (wanted == nullptr) return tier;
    for (int32_t t = 0; t < kCpuTierCount; ++t) {
        const CpuTier named = static_cast<CpuTier>(t);
        if (std::strcmp(wanted, CpuTierName(named)) == 0) return named < tier ? named : tier;
    }
    return tier;
}

}  // namespace

const char* CpuTierName(CpuTier tier) {
    switch (tier) {
        case CpuTier::kScalar: return "scalar";
        case CpuTier::kSse2: return "sse2";
        case CpuTier::kAvx2: return "avx2";
        case CpuTier::kAvx512: return "avx512";
    }
    return "unknown";
}

CpuTier DetectedCpuTier() {
    static const CpuTier tier = Detect();
    return tier;
}

CpuTier ActiveCpuTier() {
    static const CpuTier tier = Limit(DetectedCpuTier());
    return tier;
}

bool CpuHasAvx2() {
    return ActiveCpuTier() >= CpuTier::kAvx2;
}

}  // namespace vidra
