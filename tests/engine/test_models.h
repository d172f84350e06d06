// The small models made by make_test_models.py, and inputs exact through them.
#pragma once

#include <string>
#include <vector>

inline std::string TestModel(const std::string& name) { return std::string(VIDRA_TEST_MODEL_DIR) + "/test/" + name; }

// Multiples of 1/8 in [-6, 6): exact through 2x + 1 and float16.
inline std::vector<float> Ramp(std::size_t n, int phase) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>((static_cast<int>(i) * 5 + phase) % 96 - 48) / 8.0f;
    return v;
}
