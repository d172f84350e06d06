// Reads the binary PPM frames written by make_test_frames.py.
#ifndef VIDRA_TESTS_PPM_H
#define VIDRA_TESTS_PPM_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes
};

inline bool ReadPpm(const std::string& path, RgbImage& image) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    int maxValue = 0;
    const bool header = std::fscanf(file, "P6 %d %d %d", &image.width, &image.height, &maxValue) == 3 &&
                        maxValue == 255 && std::fgetc(file) != EOF;
    bool ok = false;
    if (header && image.width > 0 && image.height > 0) {
        image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
        ok = std::fread(image.rgb.data(), 1, image.rgb.size(), file) == image.rgb.size();
    }
    std::fclose(file);
    return ok;
}

#endif
