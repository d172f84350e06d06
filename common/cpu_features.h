// Which instruction sets the processor we run on offers. The library is built
// for baseline x86-64; the AVX2 kernels live in files of their own (named
// *_avx2.cpp, the only ones compiled with -mavx2) and are called only when
// CpuHasAvx2() is true.
#ifndef VIDRA_COMMON_CPU_FEATURES_H
#define VIDRA_COMMON_CPU_FEATURES_H

namespace vidra {

// True when the processor has AVX2 and the operating system saves the YMM
// registers (CPUID and XGETBV). Read once; cheap to call per frame. The
// environment variable VIDRA_DISABLE_AVX2 (any non-empty value but "0")
// forces the baseline kernels, for tests and benchmarks of that path.
bool CpuHasAvx2();

}  // namespace vidra

#endif
