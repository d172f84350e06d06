// Memory soak of the library through its public functions (not a test):
//
//     vidra_soak MODEL_DIR [CYCLES [FRAMES [WIDTH HEIGHT]]]
//
// First CYCLES create / one frame / destroy cycles, then one segmenter fed
// FRAMES frames that alternate between runs of still and moving content (a
// still frame skips the network, a moving one runs it). Resident memory is
// read from /proc/self/statm; the growth per cycle and per frame is measured
// after a warm-up that lets the allocator and the runtime settle. Figures go
// to stderr; stdout carries the library's own log, which callers discard.
// Exits 1 when a call fails.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vidra.h"

namespace {

constexpr int kRun = 100;  // frames in each still or moving run

long ResidentKiB() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return got == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A grey room with a skin-toned head and a dark torso shifted by `shift` pixels.
void Paint(std::vector<unsigned char>& rgb, int w, int h, int shift) {
    const int cx = w / 2 + shift, headY = h / 3, r = h / 7;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            const int dx = x - cx;
            if (dx * dx + (y - headY) * (y - headY) < r * r) {
                p[0] = 224, p[1] = 172, p[2] = 140;
            } else if (y > headY + r && dx > -w / 5 && dx < w / 5) {
                p[0] = 40, p[1] = 50, p[2] = 90;
            } else {
                p[0] = p[1] = p[2] = static_cast<unsigned char>(150 + (x + y) % 40);
            }
        }
    }
}

// Prints the growth since the warm-up mark, in total and per step.
void Report(const char* what, long steps, long warmKiB, double seconds) {
    const long now = ResidentKiB();
    std::fprintf(stderr, "%s %ld: resident %ld KiB, grown %+ld KiB since warm-up, %+.3f KiB per %s, %.2f ms each\n",
                 what, steps, now, now - warmKiB, steps > 0 ? double(now - warmKiB) / steps : 0.0, what,
                 steps > 0 ? 1000.0 * seconds / steps : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc == 5 || argc > 6) {
        std::fprintf(stderr, "usage: %s MODEL_DIR [CYCLES [FRAMES [WIDTH HEIGHT]]]\n", argv[0]);
        return 2;
    }
    const char* dir = argv[1];
    const long cycles = argc > 2 ? std::atol(argv[2]) : 1000;
    const long frames = argc > 3 ? std::atol(argv[3]) : 20000;
    const int w = argc > 5 ? std::atoi(argv[4]) : 640, h = argc > 5 ? std::atoi(argv[5]) : 480;
    if (cycles < 0 || frames < 0 || w <= 0 || h <= 0 || w > 8192 || h > 8192) {
        std::fprintf(stderr, "bad counts or frame size\n");
        return 2;
    }
    std::vector<unsigned char> frame(static_cast<size_t>(w) * h * 3), mask(static_cast<size_t>(w) * h);
    const long warmCycles = cycles < 100 ? cycles / 10 : 100, warmFrames = frames < 1000 ? frames / 10 : 1000;
    const long cycleStep = cycles >= 10 ? cycles / 10 : 1, frameStep = frames >= 10 ? frames / 10 : 1;
    std::fprintf(stderr, "soak: %dx%d, %ld cycles, %ld frames; resident at start %ld KiB\n", w, h, cycles, frames,
                 ResidentKiB());

    Paint(frame, w, h, 0);
    long warm = ResidentKiB();
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < cycles; ++i) {
        if (i == warmCycles) warm = ResidentKiB(), start = std::chrono::steady_clock::now();
        if (VidraCreateWithPath(w, h, VIDRA_FRAME_RGB24, dir) != 0 || VidraFrameProcess(nullptr, frame.data(),
                                                                                         mask.data()) != 0) {
            std::fprintf(stderr, "cycle %ld failed\n", i);
            return 1;
        }
        if (VidraDestroy() != 0) {
            std::fprintf(stderr, "destroy of cycle %ld failed\n", i);
            return 1;
        }
        std::fflush(stdout);
        if ((i + 1) % cycleStep == 0 && i >= warmCycles) Report("cycle", i + 1 - warmCycles, warm, Seconds(start));
    }

    if (frames > 0 && VidraCreateWithPath(w, h, VIDRA_FRAME_RGB24, dir) != 0) {
        std::fprintf(stderr, "creation for the frame run failed\n");
        return 1;
    }
    int shift = 0;
    warm = ResidentKiB();
    start = std::chrono::steady_clock::now();
    for (long i = 0; i < frames; ++i) {
        if (i == warmFrames) warm = ResidentKiB(), start = std::chrono::steady_clock::now();
        const bool moving = (i / kRun) % 2 == 1;
        if (moving) Paint(frame, w, h, shift = (shift + 3) % (w / 4));
        if (VidraFrameProcess(nullptr, frame.data(), mask.data()) != 0) {
            std::fprintf(stderr, "frame %ld failed\n", i);
            return 1;
        }
        if ((i + 1) % 256 == 0) std::fflush(stdout);
        if ((i + 1) % frameStep == 0 && i >= warmFrames) Report("frame", i + 1 - warmFrames, warm, Seconds(start));
    }
    if (frames > 0 && VidraDestroy() != 0) {
        std::fprintf(stderr, "final destroy failed\n");
        return 1;
    }
    std::fprintf(stderr, "soak: done; resident at end %ld KiB\n", ResidentKiB());
    return 0;
}
