#include "engine/model_loader.h"

#include <cstdio>
#include <string>
#include <vector>

#include "engine/model_file.h"
#include "engine/session_options.h"

namespace tesk {
namespace {

// Takes a string the runtime allocated with its default allocator.
std::string TakeString(ort::Allocator* allocator, char* text) {
    std::string s = text != nullptr ? text : "";
    if (text != nullptr) ort::Check(ort::AllocatorFree(allocator, text), "free");
    return s;
}

bool DescribeAll(const ort::Session* session, bool inputs, const MetadataLookup& metadata,
                 ort::Allocator* allocator, std::vector<TensorDesc>* out) {
    std::size_t count = 0;
    if (!ort::Check(inputs ? ort::SessionGetInputCount(session, &count) : ort::SessionGetOutputCount(session, &count),
                    "tensor count")) {
        return false;
    }
    if (count == 0 || count > 1024) {
        std::fprintf(stderr, "tesk: model has %zu %s\n", count, inputs ? "inputs" : "outputs");
        return false;
    }
    out->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        char* name = nullptr;
        ort::TypeInfo* info = nullptr;
        if (!ort::Check(inputs ? ort::SessionGetInputName(session, i, allocator, &name)
                               : ort::SessionGetOutputName(session, i, allocator, &name), "tensor name")) {
            return false;
        }
        (*out)[i].name = TakeString(allocator, name);
        if (!ort::Check(inputs ? ort::SessionGetInputTypeInfo(session, i, &info)
                               : ort::SessionGetOutputTypeInfo(session, i, &info), "tensor type")) {
            return false;
        }
        const bool ok = DescribeTensor(info, metadata, &(*out)[i]);
        ort::ReleaseTypeInfo(info);
        if (!ok) return false;
    }
    return true;
}

bool CreateSession(const std::vector<unsigned char>& bytes, std::int32_t runModelType, Model* model) {
    ort::SessionOptions* options = MakeSessionOptions(runModelType);
    if (options == nullptr) return false;
    ort::Env* env = SharedEnv();
    const bool ok = env != nullptr && ort::Check(ort::CreateSessionFromArray(env, bytes.data(), bytes.size(), options,
                                                           &model->session), "model");
    ort::ReleaseSessionOptions(options);
    return ok;
}

bool DescribeModel(Model* model) {
    ort::Allocator* allocator = nullptr;
    ort::ModelMetadata* meta = nullptr;
    if (!ort::Check(ort::GetAllocatorWithDefaultOptions(&allocator), "allocator") ||
        !ort::Check(ort::SessionGetModelMetadata(model->session, &meta), "metadata")) {
        return false;
    }
    const MetadataLookup lookup = [&](const std::string& key) {
        char* value = nullptr;
        if (!ort::Check(ort::ModelMetadataLookupCustomMetadataMap(meta, allocator, key.c_str(), &value), "metadata")) {
            return std::string("?");  // unreadable: fails the parse like a bad value
        }
        return TakeString(allocator, value);
    };
    const bool ok = DescribeAll(model->session, true, lookup, allocator, &model->inputs) &&
                    DescribeAll(model->session, false, lookup, allocator, &model->outputs);
    ort::ReleaseModelMetadata(meta);
    return ok;
}

// What the engine allocates for a model: the output storage and the float16
// copies of inputs fed as float32. Summed with overflow checks.
bool StorageWithinBound(const Model& model) {
    std::size_t total = 0;
    bool overflow = false;
    for (const TensorDesc& t : model.outputs) overflow |= __builtin_add_overflow(total, t.bytes, &total);
    for (const TensorDesc& t : model.inputs) {
        if (t.type == kFloat16) overflow |= __builtin_add_overflow(total, t.bytes, &total);
    }
    if (overflow || total > kMaxModelStorageBytes) {
        std::fprintf(stderr, "tesk: the model's tensors need more than %zu MiB of storage\n",
                     kMaxModelStorageBytes >> 20);
        return false;
    }
    return true;
}

void PrepareInputs(Model* model) {
    const std::size_t n = model->inputs.size();
    model->bindings.resize(n);
    model->runInputs.assign(n, nullptr);
    model->order.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        model->inputNames.push_back(model->inputs[i].name.c_str());
        if (model->inputs[i].type == kFloat16) model->bindings[i].staging.Allocate(model->inputs[i].bytes);
    }
    for (const TensorDesc& t : model->outputs) model->outputNames.push_back(t.name.c_str());
}

bool PrepareResult(const Model& model, Result* result) {
    result->outputs = model.outputs;
    const std::size_t n = result->outputs.size();
    result->storage.resize(n);
    result->values.assign(n, nullptr);
    for (std::size_t i = 0; i < n; ++i) {
        const TensorDesc& t = result->outputs[i];
        result->storage[i].Allocate(t.bytes);
        if (!ort::Check(ort::CreateTensorWithDataAsOrtValue(model.memory, result->storage[i].data(), t.bytes,
                                                            t.shape.data(), t.shape.size(), t.element,
                                                            &result->values[i]), "output tensor")) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool LoadModel(const char* path, std::int32_t runModelType, std::unique_ptr<Model>* model,
               std::unique_ptr<Result>* result) {
    std::vector<unsigned char> bytes;
    if (!ReadModelFile(path, &bytes)) return false;
    auto m = std::make_unique<Model>();
    auto r = std::make_unique<Result>();
    if (!CreateSession(bytes, runModelType, m.get()) || !DescribeModel(m.get()) || !StorageWithinBound(*m) ||
        !ort::Check(ort::CreateCpuMemoryInfo(ort::kDeviceAllocator, ort::kMemDefault, &m->memory), "memory info")) {
        return false;
    }
    PrepareInputs(m.get());
    if (!PrepareResult(*m, r.get())) return false;
    *model = std::move(m);
    *result = std::move(r);
    return true;
}

}  // namespace tesk
