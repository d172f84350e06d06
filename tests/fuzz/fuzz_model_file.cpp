// Fuzz target: a model file's bytes, loaded through the engine's own functions
// and through the NNX functions, each run once on buffers of the documented
// sizes. Anything read or written outside them, a crash, a leak or a huge
// allocation is a fault; a refusal is not.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "inference/engine_api.h"
#include "vidra.h"

namespace {

// Tensors larger than this are only described, never run: the harness, not
// the library, would run out of memory.
constexpr std::int64_t kMaxBytes = std::int64_t{64} << 20;

// N*C*H*W, or -1 when a dimension is not positive or the product passes 2^40.
std::int64_t Logical(std::int32_t n, std::int32_t c, std::int32_t h, std::int32_t w) {
    return fuzz::ElementCount(n, c, h, w, std::int64_t{1} << 40);
}

// Elements the engine stores for a tensor in its format: channels padded to a
// multiple of 4 in formats 2 and 5 (engine/README.md).
std::int64_t Stored(std::int32_t format, std::int32_t n, std::int32_t c, std::int32_t h, std::int32_t w) {
    const std::int32_t c4 = c > 0 && c <= INT32_MAX - 3 ? (c + 3) / 4 * 4 : c;
    return Logical(n, format == 2 || format == 5 ? c4 : c, h, w);
}

struct Descs {
    std::int32_t count = 0;
    char** names = nullptr;
    std::int32_t *d0 = nullptr, *d1 = nullptr, *d2 = nullptr, *d3 = nullptr, *types = nullptr, *formats = nullptr;
};

std::vector<unsigned char> Buffer(std::int64_t bytes, unsigned char fill) {
    return std::vector<unsigned char>(static_cast<std::size_t>(bytes), fill);
}

void ThroughEngine(const char* path) {
    std::uint64_t model = 0, result = 0;
    if (CreateInference(0, path, 0, 0, &model, &result) != 0) return;
    Descs in, out;
    const bool described =
        CreateInputTensorDesc(model, &in.count, &in.names, &in.d0, &in.d1, &in.d2, &in.d3, &in.types, &in.formats) ==
            0 &&
        CreateOutputTensorDesc(result, &out.count, &out.names, &out.d0, &out.d1, &out.d2, &out.d3, &out.types,
                               &out.formats) == 0;
    if (described) {
        // Inputs in their declared type and layout, as the engine documents.
        std::vector<std::vector<unsigned char>> buffers;
        std::vector<void*> data;
        bool fits = true;
        for (std::int32_t i = 0; i < in.count && fits; ++i) {
            const std::int64_t bytes = Stored(in.formats[i], in.d0[i], in.d1[i], in.d2[i], in.d3[i]) *
                                       fuzz::ElementBytes(in.types[i]);
            fits = bytes > 0 && bytes <= kMaxBytes;
            if (fits) buffers.push_back(Buffer(bytes, 0x3c));
        }
        for (auto& b : buffers) data.push_back(b.data());
        if (fits) {
            RunModelWithType(model, result, in.count, in.names, in.types, data.data(), nullptr);
            std::vector<void*> outputs(static_cast<std::size_t>(out.count), nullptr);
            if (GetOutputDataFromResultHandle(result, out.count, outputs.data()) == 0) {
                for (std::int32_t o = 0; o < out.count; ++o) {
                    const std::int64_t n = Logical(out.d0[o], out.d1[o], out.d2[o], out.d3[o]);
                    if (n <= 0 || n * 4 > kMaxBytes) continue;
                    std::vector<float> planar(static_cast<std::size_t>(n));
                    TransformDataTypeAndFormat(model, out.types[o], out.formats[o], out.d0[o], out.d1[o], out.d2[o],
                                               out.d3[o], outputs[o], 0, 0, out.d0[o], out.d1[o], out.d2[o],
                                               out.d3[o], planar.data());
                }
            }
        }
    }
    for (Descs* d : {&in, &out}) {
        if (d->names != nullptr)
            FreeTensorDesc(d->count, d->names, d->d0, d->d1, d->d2, d->d3, d->types, d->formats);
    }
    DestroyModel(model);
    FreeResultHandle(result);
}

// Bytes of tensor i as the NNX functions exchange it: float16 travels as float32.
std::int64_t NnxBytes(const std::int32_t* d0, const std::int32_t* d1, const std::int32_t* d2,
                      const std::int32_t* d3, const std::int32_t* types, std::int32_t i) {
    const std::int64_t n = Logical(d0[i], d1[i], d2[i], d3[i]);
    const std::int64_t size = types[i] == 1 ? 4 : fuzz::ElementBytes(types[i]);
    return n > 0 && size > 0 && n * size <= kMaxBytes ? n * size : -1;
}

void ThroughNnx(const char* path, std::uint8_t shortBy) {
    NnxModel m{};
    if (NNXPrepare(path, &m) == 0 && m.inputCount > 0 && m.outputCount > 0) {
        // NNXRunPlus: buffers of exactly the logical size, one of them
        // possibly short, which must be refused rather than overrun.
        std::vector<std::vector<unsigned char>> ins, outs;
        std::vector<NnxBuffer> inList, outList;
        bool fits = true;
        for (std::int32_t i = 0; i < m.inputCount && fits; ++i) {
            const std::int64_t b = NnxBytes(m.inputDim0, m.inputDim1, m.inputDim2, m.inputDim3, m.inputDataTypes, i);
            fits = b > 0;
            if (fits) ins.push_back(Buffer(i == 0 && shortBy < b ? b - shortBy : b, 0x3c));
        }
        for (std::int32_t o = 0; o < m.outputCount && fits; ++o) {
            const std::int64_t b =
                NnxBytes(m.outputDim0, m.outputDim1, m.outputDim2, m.outputDim3, m.outputDataTypes, o);
            fits = b > 0;
            if (fits) outs.push_back(Buffer(b, 0));
        }
        if (fits) {
            for (auto& b : ins) inList.push_back({b.data(), b.size()});
            for (auto& b : outs) outList.push_back({b.data(), b.size()});
            NNXRunPlus(&m, inList, outList);
        }
        // NNXRun states no sizes: the input as the engine stores it (float32
        // for a float16 input), the output as float32 or wider.
        if (m.inputCount == 1 && m.outputCount == 1) {
            const std::int64_t in =
                Stored(m.inputDataFormats[0], m.inputDim0[0], m.inputDim1[0], m.inputDim2[0], m.inputDim3[0]);
            const std::int64_t out = Logical(m.outputDim0[0], m.outputDim1[0], m.outputDim2[0], m.outputDim3[0]);
            if (in > 0 && out > 0 && in * 4 <= kMaxBytes && out * 4 <= kMaxBytes) {
                std::vector<unsigned char> x = Buffer(in * 4, 0x3c), y = Buffer(out * 4, 0);
                NNXRun(&m, x.data(), y.data());
            }
        }
    }
    NNXRelease(&m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz::ScratchPath("model.tesk");
    if (!fuzz::WriteFile(path, data, size)) return 0;
    ThroughEngine(path.c_str());
    ThroughNnx(path.c_str(), size > 0 ? data[size - 1] % 8 : 0);
    std::remove(path.c_str());
    return 0;
}
