// Fuzz target: a creation with a fuzzed frame size, frame type and parameter
// record (every byte of it, flags and an unterminated model name included),
// then, when it is accepted, three frames of exactly that size and a
// destruction. The input is laid over the default creation (320 x 240 RGB,
// the 144x80 record) by exclusive-or, so the empty input is that creation.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "vidra.h"

namespace {

struct Creation {
    std::int32_t width, height, frameType;
    SegParams params;
};

// Frames larger than this are not fed: the harness would run out of memory.
constexpr std::uint64_t kMaxFrameBytes = std::uint64_t{64} << 20;

void Paint(std::vector<std::uint8_t>& frame, unsigned seed) {
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>((i * 7 + seed * 13) >> 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Creation c{320, 240, VIDRA_FRAME_RGB24, kSegParams144x80};
    auto* bytes = reinterpret_cast<std::uint8_t*>(&c);
    for (std::size_t i = 0; i < size && i < sizeof c; ++i) bytes[i] ^= data[i];

    if (VidraCreateWithPathPlus(c.width, c.height, c.frameType, VIDRA_FUZZ_MODEL_DIR, &c.params) == 0 &&
        c.width > 0 && c.height > 0) {
        const std::uint64_t pixels = std::uint64_t(c.width) * std::uint64_t(c.height);
        const std::uint64_t pixelBytes = c.frameType == VIDRA_FRAME_RGBA32 ? 4 : 3;
        if (pixels * pixelBytes <= kMaxFrameBytes) {
            std::vector<std::uint8_t> frame(pixels * pixelBytes), mask(pixels);
            for (unsigned k : {1u, 1u, 2u}) {  // the repeat takes the unchanged-frame path
                Paint(frame, k);
                VidraFrameProcess(nullptr, frame.data(), mask.data());
            }
            VidraFrameProcess(nullptr, frame.data(), nullptr);
        }
    }
    VidraDestroy();
    return 0;
}
