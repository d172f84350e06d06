// Fuzz target: sequences of the exported calls in any order, as a careless
// host might make them: creation at several sizes, types and folders, frames,
// destruction, the two logging calls, and the NNX functions on two records
// (prepare, run, run with buffer sizes of the fuzzer's choosing, release).
// Destruction always precedes a creation, as the header asks.
// Buffers always have the sizes the header promises for the call made, so
// that an access outside them is the library's fault.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "vidra.h"

namespace {

const std::string kModels = VIDRA_FUZZ_MODEL_DIR;

struct Size {
    std::int32_t width, height;
};
const Size kSizes[] = {{640, 480}, {320, 240}, {288, 160}, {144, 80}, {322, 241}, {2, 2}, {1, 1}, {0, 0}, {-4, 8}};
const std::int32_t kTypes[] = {VIDRA_FRAME_RGB24, VIDRA_FRAME_RGBA32, 0, 3};
const char* const kNnxModels[] = {"test/affine.tesk", "test/formats.tesk", "test/half_in.tesk",
                                  "test/two_inputs.tesk", "test/ints.tesk", "test/rank3.tesk",
                                  "model_144x80_2ch_nosig_sim_f32.tesk", "test/not_onnx.tesk", "missing.tesk"};

std::string Folder(std::size_t k) {
    switch (k) {
        case 0: return kModels;
        case 1: return kModels + "/";
        case 2: return kModels + "/test";
        case 3: return "";
        default: return kModels + "/missing";
    }
}

std::int64_t Count(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    return fuzz::ElementCount(a, b, c, d, std::int64_t{1} << 26);
}

// The frame and mask bytes the segmenter may touch. A refused or failed
// creation may still leave the new geometry in place, so the buffers only grow
// until a creation succeeds.
struct Geometry {
    std::size_t frameBytes = 0, maskBytes = 0;
    void Attempt(const Size& s, std::int32_t type, bool created) {
        const std::size_t pixels = s.width > 0 && s.height > 0 ? std::size_t(s.width) * std::size_t(s.height) : 0;
        const std::size_t frame = pixels * (type == VIDRA_FRAME_RGBA32 ? 4 : 3);
        frameBytes = created ? frame : std::max(frameBytes, frame);
        maskBytes = created ? pixels : std::max(maskBytes, pixels);
    }
};

// A released record keeps its counts and descriptor pointers, which then
// point at freed memory: only a prepared one (model handle set) is read here.
bool Prepared(const NnxModel& m) { return m.modelHandle != 0; }

void RunPlus(NnxModel& m, fuzz::Reader& in) {
    if (!Prepared(m)) {
        NNXRunPlus(&m, {}, {});  // refused by the record's check
        return;
    }
    if (m.inputCount <= 0 || m.outputCount <= 0 || m.inputCount > 8 || m.outputCount > 8) return;
    std::vector<std::vector<std::uint8_t>> store;
    std::vector<NnxBuffer> ins, outs;
    auto add = [&](std::vector<NnxBuffer>& list, std::int64_t n, std::int32_t type) {
        // The documented size, or that size changed by a small amount either way.
        const std::int64_t size = n * (type == 1 ? 4 : fuzz::ElementBytes(type));
        const std::int64_t delta = static_cast<std::int8_t>(in.Byte()) % 9;
        const std::int64_t bytes = std::max<std::int64_t>(0, size + delta);
        store.emplace_back(static_cast<std::size_t>(bytes), 0x3c);  // empty: a null pointer, refused
        list.push_back({store.back().data(), static_cast<std::uint64_t>(bytes)});
    };
    store.reserve(16);
    for (std::int32_t i = 0; i < m.inputCount; ++i) {
        const std::int64_t n = Count(m.inputDim0[i], m.inputDim1[i], m.inputDim2[i], m.inputDim3[i]);
        if (n < 0) return;
        add(ins, n, m.inputDataTypes[i]);
    }
    for (std::int32_t o = 0; o < m.outputCount; ++o) {
        const std::int64_t n = Count(m.outputDim0[o], m.outputDim1[o], m.outputDim2[o], m.outputDim3[o]);
        if (n < 0) return;
        add(outs, n, m.outputDataTypes[o]);
    }
    NNXRunPlus(&m, ins, outs);
}

void Run(NnxModel& m) {
    if (!Prepared(m) || m.inputCount != 1 || m.outputCount != 1) {
        std::vector<std::uint8_t> x(64), y(64);
        NNXRun(&m, x.data(), y.data());  // refused without touching either
        return;
    }
    // Without sizes: the input as stored (channels padded to 4, float16 as
    // float32), the output as float32.
    const std::int32_t c = m.inputDataFormats[0] == 2 || m.inputDataFormats[0] == 5 ? (m.inputDim1[0] + 3) / 4 * 4
                                                                                    : m.inputDim1[0];
    const std::int64_t in = Count(m.inputDim0[0], c, m.inputDim2[0], m.inputDim3[0]);
    const std::int64_t out = Count(m.outputDim0[0], m.outputDim1[0], m.outputDim2[0], m.outputDim3[0]);
    if (in < 0 || out < 0) return;
    std::vector<std::uint8_t> x(static_cast<std::size_t>(in) * 4, 0x3c), y(static_cast<std::size_t>(out) * 4);
    NNXRun(&m, x.data(), y.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    Geometry g;
    NnxModel records[2] = {};
    SegParams params = kSegParams144x80;
    for (int step = 0; step < 24 && !in.empty(); ++step) {
        const std::uint8_t op = in.Byte();
        NnxModel& m = records[op >> 7];
        switch (op % 10) {
            case 0:
                VidraCreate();
                break;
            case 1:
            case 2: {
                const Size& s = kSizes[in.Pick(std::size(kSizes))];
                const std::int32_t type = kTypes[in.Pick(std::size(kTypes))];
                const std::string folder = Folder(in.Pick(5));
                const std::uint8_t which = in.Byte();
                params = which & 1 ? kSegParams640x480 : kSegParams144x80;
                params.MaskBlur = which & 2;
                params.MultiFrameSmooth = which & 4;
                params.runModelType = (which >> 3) % 3;
                if (which & 0x20) params.modelName[0] = '\0';
                const bool nullFolder = (which & 0xc0) == 0xc0;
                // The documented order: a creation over a prepared context
                // keeps the old engine context alive until unload (the record
                // is dropped without a release), which is the contract's
                // leak, not a fault to find.
                VidraDestroy();
                const std::int32_t rc =
                    op % 10 == 1 ? VidraCreateWithPath(s.width, s.height, type, nullFolder ? nullptr : folder.c_str())
                                 : VidraCreateWithPathPlus(s.width, s.height, type,
                                                           nullFolder ? nullptr : folder.c_str(), &params);
                g.Attempt(s, type, rc == 0);
                break;
            }
            case 3: {
                std::vector<std::uint8_t> frame(g.frameBytes, in.Byte()), mask(g.maskBytes);
                if (!frame.empty()) frame[frame.size() / 2] ^= 0x55;
                int junk = 0;
                VidraFrameProcess(&junk, frame.data(), in.Byte() & 1 ? mask.data() : nullptr);
                break;
            }
            case 4:
                VidraDestroy();
                break;
            case 5:
                VidraAlgControl(in.Value<std::int32_t>(), in.Byte() & 1);
                VidraAlgLogLevel(in.Value<std::int32_t>());
                break;
            case 6: {
                const std::string path = kModels + "/" + kNnxModels[in.Pick(std::size(kNnxModels))];
                if (m.modelHandle != 0) NNXRelease(&m);  // a record is prepared only when zero-filled
                m = NnxModel{};
                const std::uint8_t how = in.Byte();
                if (how & 1) {
                    NNXPreparePlus(path.c_str(), how >> 1 & 3, &m);
                } else {
                    NNXPrepare(path.c_str(), &m);
                }
                break;
            }
            case 7:
                Run(m);
                break;
            case 8:
                RunPlus(m, in);
                break;
            case 9:
                NNXRelease(&m);
                break;
        }
    }
    VidraDestroy();
    for (NnxModel& m : records) NNXRelease(&m);
    return 0;
}
