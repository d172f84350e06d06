// The objects behind the engine's handles: a model (session, input
// descriptions, input bindings) and its result (output descriptions and the
// output storage the runtime writes into), plus the descriptor arrays handed
// out to callers.
#ifndef TESK_ENGINE_ENGINE_OBJECTS_H
#define TESK_ENGINE_ENGINE_OBJECTS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ort_c_api.h"
#include "engine/tensor_desc.h"

namespace tesk {

// Zero bytes on a 64-byte boundary, from calloc: large blocks come as fresh
// zero pages that cost no memory until written, so storage that every run
// overwrites is not filled up front.
class AlignedBuffer {
public:
    void Allocate(std::size_t bytes);  // throws std::bad_alloc
    unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    struct Free {
        void operator()(unsigned char* p) const;
    };
    std::unique_ptr<unsigned char, Free> raw_;
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

// The bound of the runtime's working memory (intermediate tensors of every
// model in the process): a real-time segmentation network uses a few MiB per
// session, so this leaves room for dozens of sessions, and no single request
// reaches the allocator beyond it.
constexpr std::size_t kRuntimePoolBytes = std::size_t{512} << 20;

// The runtime's environment, created on first use and kept for the life of
// the process: tearing it down with the last model and building it again
// with the next costs time and leaves memory behind on every cycle. Null when
// the runtime cannot create it or its bounded memory pool (tried again on
// the next call).
ort::Env* SharedEnv();

// What a run binds to one input: the runtime value wrapping the caller's
// buffer (rebuilt only when the buffer moves) and, for float16 inputs fed as
// float32, the converted copy.
struct InputBinding {
    const void* boundData = nullptr;
    ort::Value* value = nullptr;
    AlignedBuffer staging;
};

struct Model {
    ~Model();
    ort::MemoryInfo* memory = nullptr;
    ort::Session* session = nullptr;
    std::uint64_t resultHandle = 0;  // the result created with this model
    std::vector<TensorDesc> inputs;
    std::vector<TensorDesc> outputs;
    std::vector<const char*> inputNames;   // into inputs[i].name, model order
    std::vector<const char*> outputNames;
    std::vector<InputBinding> bindings;    // model order
    std::vector<const ort::Value*> runInputs;
    std::vector<std::size_t> order;        // run scratch: caller's entry -> model input
};

struct Result {
    ~Result();
    std::uint64_t modelHandle = 0;
    std::vector<TensorDesc> outputs;
    std::vector<AlignedBuffer> storage;
    std::vector<ort::Value*> values;  // wrap storage; the runtime writes into them
};

// The seven arrays describing one direction's tensors.
struct DescBlock {
    std::vector<std::string> strings;
    std::vector<char*> names;
    std::vector<std::int32_t> dim0, dim1, dim2, dim3, types, formats;
};

std::unique_ptr<DescBlock> MakeDescBlock(const std::vector<TensorDesc>& tensors);

}  // namespace tesk

#endif
