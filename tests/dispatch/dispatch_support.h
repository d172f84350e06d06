// Pieces of the dispatch harness: every tier this processor has, tables
// filled for a tier, random contents, byte and bit comparisons.
#ifndef VIDRA_TESTS_DISPATCH_SUPPORT_H
#define VIDRA_TESTS_DISPATCH_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "common/cpu_features.h"

namespace dispatch_test {

using Bytes = std::vector<uint8_t>;
using Floats = std::vector<float>;
constexpr uint8_t kCanary = 0xA5;

// The tiers above scalar that the processor has, lowest first.
inline std::vector<vidra::CpuTier> VectorTiers() {
    std::vector<vidra::CpuTier> tiers;
    for (int32_t t = 1; t <= static_cast<int32_t>(vidra::DetectedCpuTier()); ++t)
        tiers.push_back(static_cast<vidra::CpuTier>(t));
    return tiers;
}

template <typename Table, void (*Fill)(Table&, vidra::CpuTier)>
Table TableFor(vidra::CpuTier tier) {
    Table t{};
    Fill(t, tier);
    return t;
}

// How many entries of a table differ from the scalar table's: a tier whose
// twins were never put in its table would test the scalar kernels against
// themselves.
template <typename Table>
int DifferingEntries(const Table& a, const Table& b) {
    static_assert(sizeof(Table) % sizeof(void (*)()) == 0, "a table holds function pointers only");
    int n = 0;
    for (size_t i = 0; i < sizeof(Table); i += sizeof(void (*)()))
        n += std::memcmp(reinterpret_cast<const char*>(&a) + i, reinterpret_cast<const char*>(&b) + i,
                         sizeof(void (*)())) != 0;
    return n;
}

inline int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// Noise, black and white, coarse levels, or long flat runs (as in a mask).
inline Bytes RandomBytes(std::mt19937& rng, size_t n, int mode = -1) {
    if (mode < 0) mode = Uniform(rng, 0, 3);
    Bytes v(n);
    uint8_t level = 0;
    size_t runEnd = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t bits = rng();
        if (mode == 3 && i >= runEnd) {
            level = (bits & 3) == 0 ? static_cast<uint8_t>(bits >> 8) : ((bits >> 2) & 1) * 255;
            runEnd = i + 1 + (bits >> 20) % 3000;
        }
        v[i] = mode == 0 ? static_cast<uint8_t>(bits) : mode == 1 ? (bits & 1) * 255
             : mode == 2 ? static_cast<uint8_t>(bits & 0xF0) : level;
    }
    return v;
}

inline Floats RandomFloats(std::mt19937& rng, size_t n, float lo, float hi) {
    std::uniform_real_distribution<float> d(lo, hi);
    Floats v(n);
    for (auto& f : v) f = d(rng);
    return v;
}

inline bool SameBits(const Floats& a, const Floats& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

}  // namespace dispatch_test

#endif
