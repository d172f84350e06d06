// frame_mask MODEL_DIR OUT PHOTO.ppm...: writes the library's masks of the
// photographs one after the other, to compare runs on different processors.
#include <cstdio>
#include <vector>

#include "exports/ppm.h"
#include "vidra.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s MODEL_DIR OUT PHOTO.ppm...\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> masks;
    for (int i = 3; i < argc; ++i) {
        RgbImage photo;
        if (!ReadPpm(argv[i], photo)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> mask(static_cast<size_t>(photo.width) * photo.height);
        if (VidraCreateWithPath(photo.width, photo.height, VIDRA_FRAME_RGB24, argv[1]) != 0 ||
            VidraFrameProcess(nullptr, photo.rgb.data(), mask.data()) != 0 || VidraDestroy() != 0) {
            std::fprintf(stderr, "the library failed on %s\n", argv[i]);
            return 1;
        }
        masks.insert(masks.end(), mask.begin(), mask.end());
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    const bool written = out != nullptr && std::fwrite(masks.data(), 1, masks.size(), out) == masks.size();
    if (out == nullptr || std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
