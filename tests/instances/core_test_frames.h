// Synthetic RGB24 frames for the core library's tests.
#ifndef VIDRA_TESTS_INSTANCES_CORE_TEST_FRAMES_H
#define VIDRA_TESTS_INSTANCES_CORE_TEST_FRAMES_H

#include <cstdint>
#include <vector>

#include "vidra_core.h"

// A test pattern moved by `shift`: frames of different shifts differ enough
// to run the network.
inline std::vector<uint8_t> Pattern(int width, int height, int shift) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(y) * width + x) * 3 + c] = uint8_t(((x + shift) * (c + 1) + y * 3) ^ (shift * 40));
    return rgb;
}

inline VidraImage RgbImageOf(std::vector<uint8_t>& rgb, int width, int height) {
    return VidraImage{width, height, VIDRA_PIXEL_RGB24, 0, {rgb.data()}, {width * 3}};
}

#endif
