#include "engine/model_run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tesk {
namespace {

int Fail(Result& result, const char* why) {
    for (AlignedBuffer& b : result.storage) std::memset(b.data(), 0, b.size());
    std::fprintf(stderr, "tesk: run refused: %s\n", why);
    return -1;
}

// The model input that the caller's entry i names, or -1.
long MatchInput(const Model& model, char* const* names, std::int32_t i) {
    if (names[i] == nullptr) return -1;
    for (std::size_t j = 0; j < model.inputs.size(); ++j) {
        if (std::strcmp(names[i], model.inputs[j].name.c_str()) != 0) continue;
        for (std::int32_t k = 0; k < i; ++k) {
            if (model.order[k] == j) return -1;  // named twice
        }
        return static_cast<long>(j);
    }
    return -1;
}

// Points binding at data, rebuilding the runtime value only when the buffer moved.
bool Bind(const Model& model, const TensorDesc& desc, InputBinding& binding, void* data) {
    if (binding.value != nullptr && binding.boundData == data) return true;
    if (binding.value != nullptr) ort::ReleaseValue(binding.value);
    binding.value = nullptr;
    binding.boundData = nullptr;
    if (!ort::Check(ort::CreateTensorWithDataAsOrtValue(model.memory, data, desc.bytes, desc.shape.data(),
                                                        desc.shape.size(), desc.element, &binding.value),
                    "input tensor")) {
        return false;
    }
    binding.boundData = data;
    return true;
}

}  // namespace

int RunModel(Model& model, Result& result, std::int32_t count, char* const* names, const std::int32_t* types,
             void* const* data) {
    if (names == nullptr || types == nullptr || data == nullptr) return Fail(result, "null input list");
    if (count < 0 || static_cast<std::size_t>(count) != model.inputs.size()) return Fail(result, "input count");
    for (std::int32_t i = 0; i < count; ++i) {
        const long j = MatchInput(model, names, i);
        if (j < 0) return Fail(result, "unknown or repeated input name");
        model.order[i] = static_cast<std::size_t>(j);
        const TensorDesc& desc = model.inputs[j];
        InputBinding& binding = model.bindings[j];
        if (data[i] == nullptr) return Fail(result, "null input data");
        void* source = data[i];
        if (desc.type == kFloat16 && types[i] == kFloat32) {
            // Fed as float32: narrowed into the staging copy that stays bound.
            // The caller's buffer holds the tensor's storage (padding lanes
            // included) as float32; the staging copy holds it as float16.
            const auto* from = static_cast<const float*>(source);
            auto* to = reinterpret_cast<std::uint16_t*>(binding.staging.data());
            const std::size_t elements = std::min(desc.bytes, binding.staging.size()) / 2;
            for (std::size_t e = 0; e < elements; ++e) to[e] = FloatToHalf(from[e]);
            source = binding.staging.data();
        } else if (types[i] != desc.type) {
            return Fail(result, "input type differs from the model's");
        }
        if (!Bind(model, desc, binding, source)) return Fail(result, "input binding");
        model.runInputs[j] = binding.value;
    }
    if (!ort::Check(ort::Run(model.session, model.inputNames.data(), model.runInputs.data(), model.inputs.size(),
                             model.outputNames.data(), model.outputNames.size(), result.values.data()),
                    "run")) {
        return Fail(result, "the runtime failed");
    }
    return 0;
}

}  // namespace tesk
