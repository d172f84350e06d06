#include <cmath>

#include "segmenter/class_ipu_plus.h"

float CosineSimilarity(const uint8_t* a, const uint8_t* b, const uint64_t& n) {
    float saa = 0.0f;
    float sbb = 0.0f;
    float sab = 0.0f;
    // Strictly in index order, each product rounded before it is added.
    for (uint64_t i = 0; i < n; ++i) {
        const float fa = static_cast<float>(a[i]);
        const float fb = static_cast<float>(b[i]);
        const float aa = fa * fa;
        const float bb = fb * fb;
        const float ab = fb * fa;
        saa += aa;
        sbb += bb;
        sab += ab;
    }
    const float norms = sbb * saa;
    return sab / std::sqrt(norms);
}
