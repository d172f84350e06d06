// Kernel dispatch, one idiom for every routine family (as dav1d's DSP
// contexts and libyuv do it):
//
//   struct FooKernels { void (*row)(...); ... };          // foo_kernels.h
//   void FillFooKernels(FooKernels& k, CpuTier tier);     // foo_kernels.cpp
//   const FooKernels& ActiveFooKernels() {
//       return vidra::ActiveKernels<FooKernels, FillFooKernels>();
//   }
//
// Fill puts the scalar reference in every entry, then, tier by tier up to
// `tier`, overwrites the entries that tier has a twin for (the SSE2 ones from
// the baseline file, the others by calling FillFooKernelsAvx2 /
// FillFooKernelsAvx512 defined in the files compiled for those tiers).
// Callers only go through the active table. Every entry handles its whole
// input, tails included, and gives the bytes of its scalar twin;
// tests/dispatch fills the table at every tier the machine has and checks
// each entry against the scalar one.
//
// The kernel headers (the table structs and the Fill declarations) hold no
// inline code, so that the AVX files can include them; this header holds
// inline code and is for baseline files only.
#ifndef VIDRA_COMMON_DISPATCH_H
#define VIDRA_COMMON_DISPATCH_H

#include "common/cpu_features.h"

namespace vidra {

// The family's table filled for ActiveCpuTier(), once (thread-safe static).
template <typename Table, void (*Fill)(Table&, CpuTier)>
const Table& ActiveKernels() {
    static const Table table = [] {
        Table t{};
        Fill(t, ActiveCpuTier());
        return t;
    }();
    return table;
}

// A table filled for `tier` capped at what the processor offers (the tests'
// way to every tier).
template <typename Table, void (*Fill)(Table&, CpuTier)>
Table KernelsForTier(CpuTier tier) {
    Table t{};
    Fill(t, tier < DetectedCpuTier() ? tier : DetectedCpuTier());
    return t;
}

}  // namespace vidra

#endif
