#include "engine/engine_objects.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace tesk {

void AlignedBuffer::Free::operator()(unsigned char* p) const { std::free(p); }

void AlignedBuffer::Allocate(std::size_t bytes) {
    constexpr std::size_t kAlign = 64;
    auto* raw = static_cast<unsigned char*>(std::calloc(bytes + kAlign, 1));
    if (raw == nullptr) throw std::bad_alloc();
    raw_.reset(raw);
    const auto address = reinterpret_cast<std::uintptr_t>(raw);
    data_ = raw + ((kAlign - address % kAlign) % kAlign);
    size_ = bytes;
}

namespace {

// One bounded pool for the runtime's working memory, shared by every session
// (session options ask for it). Without a bound, a tiny model whose
// intermediate tensor claims terabytes makes the runtime ask the system for
// them; the pool refuses such a request before allocating anything.
bool RegisterBoundedPool(ort::Env* env) {
    ort::MemoryInfo* info = nullptr;
    ort::ArenaCfg* cfg = nullptr;
    const bool ok =
        ort::Check(ort::CreateCpuMemoryInfo(ort::kArenaAllocator, ort::kMemDefault, &info), "pool memory info") &&
        ort::Check(ort::CreateArenaCfg(kRuntimePoolBytes, -1, -1, -1, &cfg), "pool configuration") &&
        ort::Check(ort::CreateAndRegisterAllocator(env, info, cfg), "pool registration");
    if (cfg != nullptr) ort::ReleaseArenaCfg(cfg);
    if (info != nullptr) ort::ReleaseMemoryInfo(info);
    return ok;
}

}  // namespace

ort::Env* SharedEnv() {
    static std::mutex mutex;
    static ort::Env* env = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    // Errors only: the runtime's log goes to stderr, never to stdout.
    if (env == nullptr && ort::Check(ort::CreateEnv(ort::kLogError, "tesk", &env), "runtime environment") &&
        !RegisterBoundedPool(env)) {
        // Sessions would fall back to unbounded pools of their own.
        ort::ReleaseEnv(env);
        env = nullptr;
    }
    return env;
}

Model::~Model() {
    for (InputBinding& b : bindings) {
        if (b.value != nullptr) ort::ReleaseValue(b.value);
    }
    if (session != nullptr) ort::ReleaseSession(session);
    if (memory != nullptr) ort::ReleaseMemoryInfo(memory);
}

Result::~Result() {
    for (ort::Value* v : values) {
        if (v != nullptr) ort::ReleaseValue(v);
    }
}

std::unique_ptr<DescBlock> MakeDescBlock(const std::vector<TensorDesc>& tensors) {
    auto block = std::make_unique<DescBlock>();
    for (const TensorDesc& t : tensors) {
        block->strings.push_back(t.name);
        block->dim0.push_back(static_cast<std::int32_t>(t.dims.n));
        block->dim1.push_back(static_cast<std::int32_t>(t.dims.c));
        block->dim2.push_back(static_cast<std::int32_t>(t.dims.h));
        block->dim3.push_back(static_cast<std::int32_t>(t.dims.w));
        block->types.push_back(t.type);
        block->formats.push_back(t.format);
    }
    for (std::string& s : block->strings) block->names.push_back(&s[0]);
    return block;
}

}  // namespace tesk
