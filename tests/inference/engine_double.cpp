#include "engine_double.h"

#include <cstring>

using I = std::int32_t;

namespace {

DoubleState g;
char g_names[2][kDoubleMax][8] = {{"in0", "in1", "in2", "in3"}, {"out0", "out1", "out2", "out3"}};
char* g_nameArrays[2][kDoubleMax];
I g_values[2][6][kDoubleMax];  // per side: d0, d1, d2, d3, types, formats

template <typename... Args>
I Record(const char* name, Args... args) {  // 0: the status every call gives
    if (g.callCount == 64) return 0;
    DoubleCall& call = g.calls[g.callCount++];
    std::strncpy(call.name, name, sizeof call.name - 1);
    const std::int64_t values[] = {(std::int64_t)(args)...};
    std::memcpy(call.args, values, sizeof values);
    return 0;
}

I HandOut(int side, I count, const DoubleTensor* t, I* c, char*** n, I** d0, I** d1, I** d2, I** d3, I** ty, I** f) {
    I** out[6] = {d0, d1, d2, d3, ty, f};
    for (int i = 0; i < kDoubleMax; ++i) {
        g_nameArrays[side][i] = g_names[side][i];
        const I v[6] = {t[i].d0, t[i].d1, t[i].d2, t[i].d3, t[i].type, t[i].format};
        for (int k = 0; k < 6; ++k) g_values[side][k][i] = v[k];
    }
    for (int k = 0; k < 6; ++k) *out[k] = g_values[side][k];
    *c = count;
    *n = g_nameArrays[side];
    return 0;
}

}  // namespace

extern "C" {

TESK_API DoubleState* DoubleGetState() { return &g; }

TESK_API void DoubleReset() {
    std::memset(&g, 0, sizeof g);
    g.modelHandle = 0x1111;
    g.resultHandle = 0x2222;
    g.inputCount = g.outputCount = 1;
    g.inputs[0] = {1, 3, 160, 288, 0, 0};
    g.outputs[0] = {1, 2, 80, 144, 0, 0};
}

TESK_API I CreateInference(I r0, const char* file, I r1, I runType, std::uint64_t* model, std::uint64_t* result) {
    *model = g.modelHandle;
    *result = g.resultHandle;
    return Record("CreateInference", r0, file, r1, runType, model, result);
}

TESK_API I CreateInputTensorDesc(std::uint64_t model, I* c, char*** n, I** d0, I** d1, I** d2, I** d3, I** t, I** f) {
    Record("CreateInputTensorDesc", model, c, n, d0, d1, d2, d3, t, f);
    return HandOut(0, g.inputCount, g.inputs, c, n, d0, d1, d2, d3, t, f);
}

TESK_API I CreateOutputTensorDesc(std::uint64_t result, I* c, char*** n, I** d0, I** d1, I** d2, I** d3, I** t, I** f) {
    Record("CreateOutputTensorDesc", result, c, n, d0, d1, d2, d3, t, f);
    return HandOut(1, g.outputCount, g.outputs, c, n, d0, d1, d2, d3, t, f);
}

TESK_API I RunModelWithType(std::uint64_t model, std::uint64_t result, I count, char** names, const I* types,
                            void** data, void* reserved) {
    for (int i = 0; i < count && i < kDoubleMax; ++i) {
        g.runTypes[i] = types[i];
        g.runData[i] = data[i];
    }
    static unsigned char run = 0;
    ++run;
    for (int i = 0; i < kDoubleMax; ++i)
        for (int k = 0; k < kDoubleBytes; ++k) g.storage[i][k] = static_cast<unsigned char>(k * 13 + i * 7 + run);
    return Record("RunModelWithType", model, result, count, names, types, data, reserved);
}

TESK_API I GetOutputDataFromResultHandle(std::uint64_t result, I count, void** data) {
    for (int i = 0; i < count && i < kDoubleMax; ++i) data[i] = g.storage[i];
    return Record("GetOutputDataFromResultHandle", result, count, data);
}

TESK_API I TransformDataTypeAndFormat(std::uint64_t model, I st, I sf, I s0, I s1, I s2, I s3, const void* src, I dt,
                                      I df, I d0, I d1, I d2, I d3, void* dst) {
    const int size = dt == 1 ? 2 : (dt == 4 || dt == 5) ? 1 : 4;
    std::memset(dst, 0x5a, static_cast<std::size_t>(size) * d0 * d1 * d2 * d3);
    return Record("TransformDataTypeAndFormat", model, st, sf, s0, s1, s2, s3, src, dt, df, d0, d1, d2, d3, dst);
}

TESK_API I FreeResultHandle(std::uint64_t result) { return Record("FreeResultHandle", result); }

TESK_API I FreeTensorDesc(I c, char** n, I* d0, I* d1, I* d2, I* d3, I* t, I* f) {
    return Record("FreeTensorDesc", c, n, d0, d1, d2, d3, t, f);
}

TESK_API I DestroyModel(std::uint64_t model) { return Record("DestroyModel", model); }

}  // extern "C"
