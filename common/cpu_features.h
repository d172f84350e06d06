// Which instruction sets the processor we run on offers, as tiers. The
// library is built for baseline x86-64 (SSE2); the kernels of higher tiers
// live in files of their own (*_avx2.cpp, *_avx512.cpp, the only ones compiled
// with those instruction sets) and are reached only through the kernel tables
// of common/dispatch.h.
#ifndef VIDRA_COMMON_CPU_FEATURES_H
#define VIDRA_COMMON_CPU_FEATURES_H

#include <cstdint>

namespace vidra {

// Each tier includes the ones below it.
enum class CpuTier : int32_t {
    kScalar = 0,  // the reference kernels: plain C++, no intrinsics
    kSse2 = 1,    // baseline x86-64
    kAvx2 = 2,    // AVX2 with the YMM state saved by the OS
    kAvx512 = 3,  // AVX-512 F, BW, DQ and VL with the ZMM and mask state saved
};
constexpr int32_t kCpuTierCount = 4;

// "scalar", "sse2", "avx2", "avx512".
const char* CpuTierName(CpuTier tier);

// The highest tier the processor and the OS offer (CPUID and XGETBV), read
// once, whatever the environment says.
CpuTier DetectedCpuTier();

// The tier every kernel table is filled for, read once: DetectedCpuTier()
// lowered to the environment variable VIDRA_CPU_TIER when set to a tier name
// (an unknown value changes nothing), and to sse2 at most when
// VIDRA_DISABLE_AVX2 is set to any non-empty value but "0". For tests and
// benchmarks of the lower tiers on a processor that has the higher ones.
CpuTier ActiveCpuTier();

// ActiveCpuTier() >= CpuTier::kAvx2.
bool CpuHasAvx2();

}  // namespace vidra

#endif
