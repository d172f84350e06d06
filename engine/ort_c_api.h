// The part of ONNX Runtime's C API the engine calls, declared here because the
// runtime package ships no headers. OrtGetApiBase() is the one exported
// symbol; everything else is reached through the function table it hands
// out, whose slot order is fixed by the runtime's ABI (the table only ever
// grows at its end). Only the slots listed below are used.
#ifndef TESK_ENGINE_ORT_C_API_H
#define TESK_ENGINE_ORT_C_API_H

#include <cstddef>
#include <cstdint>

namespace ort {

// Opaque runtime objects.
struct Status;
struct Env;
struct Session;
struct SessionOptions;
struct Value;
struct MemoryInfo;
struct TypeInfo;
struct TensorInfo;
struct ModelMetadata;
struct Allocator;
struct ArenaCfg;

// ONNX element types (TensorProto.DataType numbering) that the engine maps.
enum ElementType : int {
    kElemFloat = 1, kElemUint8 = 2, kElemInt8 = 3, kElemInt32 = 6, kElemFloat16 = 10, kElemUint32 = 12
};
enum ValueKind : int { kKindTensor = 1 };
enum LogLevel : int { kLogError = 3 };
enum GraphOptimization : int { kOptimizeAll = 99 };
enum ExecutionMode : int { kSequential = 0 };
enum AllocatorKind : int { kDeviceAllocator = 0, kArenaAllocator = 1 };
enum MemKind : int { kMemDefault = 0 };

// Zero-based positions in the table of API version kApiVersion.
enum Slot : std::size_t {
    kGetErrorMessage = 2,
    kCreateEnv = 3,
    kCreateSessionFromArray = 8,
    kRun = 9,
    kCreateSessionOptions = 10,
    kSetSessionExecutionMode = 13,
    kSetSessionGraphOptimizationLevel = 23,
    kSetIntraOpNumThreads = 24,
    kSetInterOpNumThreads = 25,
    kSessionGetInputCount = 30,
    kSessionGetOutputCount = 31,
    kSessionGetInputTypeInfo = 33,
    kSessionGetOutputTypeInfo = 34,
    kSessionGetInputName = 36,
    kSessionGetOutputName = 37,
    kCreateTensorWithDataAsOrtValue = 49,
    kCastTypeInfoToTensorInfo = 55,
    kGetOnnxTypeFromTypeInfo = 56,
    kGetTensorElementType = 60,
    kGetDimensionsCount = 61,
    kGetDimensions = 62,
    kCreateCpuMemoryInfo = 69,
    kAllocatorFree = 76,
    kGetAllocatorWithDefaultOptions = 78,
    kReleaseEnv = 92,
    kReleaseStatus = 93,
    kReleaseMemoryInfo = 94,
    kReleaseSession = 95,
    kReleaseValue = 96,
    kReleaseTypeInfo = 98,
    kReleaseSessionOptions = 100,
    kSessionGetModelMetadata = 111,
    kModelMetadataLookupCustomMetadataMap = 116,
    kReleaseModelMetadata = 118,
    kAddSessionConfigEntry = 130,
    kCreateAndRegisterAllocator = 144,
    kCreateArenaCfg = 156,
    kReleaseArenaCfg = 157,
};

// The version whose table the slots above index (the pinned runtime, 1.30).
constexpr std::uint32_t kApiVersion = 30;

// The runtime's function table, or null when the runtime does not offer
// kApiVersion. Looked up once.
const void* const* Table();

// Calls slot S as a function of type Fn. Status-returning calls give null on
// success. One calling convention exists on x86-64 Windows, so the runtime's
// __stdcall annotation needs no counterpart here.
template <typename Fn, typename... Args>
inline auto Call(Slot slot, Args... args) {
    return reinterpret_cast<Fn*>(const_cast<void*>(Table()[slot]))(args...);
}

// Typed entry points, named after the runtime's own functions.
inline Status* CreateEnv(LogLevel level, const char* id, Env** out) {
    return Call<Status*(int, const char*, Env**)>(kCreateEnv, level, id, out);
}
inline Status* CreateSessionFromArray(const Env* env, const void* data, std::size_t size,
                                      const SessionOptions* options, Session** out) {
    return Call<Status*(const Env*, const void*, std::size_t, const SessionOptions*, Session**)>(
        kCreateSessionFromArray, env, data, size, options, out);
}
inline Status* Run(Session* session, const char* const* inputNames, const Value* const* inputs,
                   std::size_t inputCount, const char* const* outputNames, std::size_t outputCount,
                   Value** outputs) {
    return Call<Status*(Session*, const void*, const char* const*, const Value* const*, std::size_t,
                        const char* const*, std::size_t, Value**)>(
        kRun, session, nullptr, inputNames, inputs, inputCount, outputNames, outputCount, outputs);
}
inline Status* CreateSessionOptions(SessionOptions** out) {
    return Call<Status*(SessionOptions**)>(kCreateSessionOptions, out);
}
inline Status* SetSessionExecutionMode(SessionOptions* o, ExecutionMode mode) {
    return Call<Status*(SessionOptions*, int)>(kSetSessionExecutionMode, o, mode);
}
inline Status* SetSessionGraphOptimizationLevel(SessionOptions* o, GraphOptimization level) {
    return Call<Status*(SessionOptions*, int)>(kSetSessionGraphOptimizationLevel, o, level);
}
inline Status* SetIntraOpNumThreads(SessionOptions* o, int threads) {
    return Call<Status*(SessionOptions*, int)>(kSetIntraOpNumThreads, o, threads);
}
inline Status* SetInterOpNumThreads(SessionOptions* o, int threads) {
    return Call<Status*(SessionOptions*, int)>(kSetInterOpNumThreads, o, threads);
}
inline Status* AddSessionConfigEntry(SessionOptions* o, const char* key, const char* value) {
    return Call<Status*(SessionOptions*, const char*, const char*)>(kAddSessionConfigEntry, o, key, value);
}
inline Status* SessionGetInputCount(const Session* s, std::size_t* out) {
    return Call<Status*(const Session*, std::size_t*)>(kSessionGetInputCount, s, out);
}
inline Status* SessionGetOutputCount(const Session* s, std::size_t* out) {
    return Call<Status*(const Session*, std::size_t*)>(kSessionGetOutputCount, s, out);
}
inline Status* SessionGetInputTypeInfo(const Session* s, std::size_t i, TypeInfo** out) {
    return Call<Status*(const Session*, std::size_t, TypeInfo**)>(kSessionGetInputTypeInfo, s, i, out);
}
inline Status* SessionGetOutputTypeInfo(const Session* s, std::size_t i, TypeInfo** out) {
    return Call<Status*(const Session*, std::size_t, TypeInfo**)>(kSessionGetOutputTypeInfo, s, i, out);
}
inline Status* SessionGetInputName(const Session* s, std::size_t i, Allocator* a, char** out) {
    return Call<Status*(const Session*, std::size_t, Allocator*, char**)>(kSessionGetInputName, s, i, a, out);
}
inline Status* SessionGetOutputName(const Session* s, std::size_t i, Allocator* a, char** out) {
    return Call<Status*(const Session*, std::size_t, Allocator*, char**)>(kSessionGetOutputName, s, i, a, out);
}
inline Status* CreateTensorWithDataAsOrtValue(const MemoryInfo* info, void* data, std::size_t bytes,
                                              const std::int64_t* shape, std::size_t rank,
                                              ElementType type, Value** out) {
    return Call<Status*(const MemoryInfo*, void*, std::size_t, const std::int64_t*, std::size_t, int, Value**)>(
        kCreateTensorWithDataAsOrtValue, info, data, bytes, shape, rank, type, out);
}
inline Status* CastTypeInfoToTensorInfo(const TypeInfo* t, const TensorInfo** out) {
    return Call<Status*(const TypeInfo*, const TensorInfo**)>(kCastTypeInfoToTensorInfo, t, out);
}
inline Status* GetOnnxTypeFromTypeInfo(const TypeInfo* t, int* out) {
    return Call<Status*(const TypeInfo*, int*)>(kGetOnnxTypeFromTypeInfo, t, out);
}
inline Status* GetTensorElementType(const TensorInfo* t, int* out) {
    return Call<Status*(const TensorInfo*, int*)>(kGetTensorElementType, t, out);
}
inline Status* GetDimensionsCount(const TensorInfo* t, std::size_t* out) {
    return Call<Status*(const TensorInfo*, std::size_t*)>(kGetDimensionsCount, t, out);
}
inline Status* GetDimensions(const TensorInfo* t, std::int64_t* dims, std::size_t count) {
    return Call<Status*(const TensorInfo*, std::int64_t*, std::size_t)>(kGetDimensions, t, dims, count);
}
inline Status* CreateCpuMemoryInfo(AllocatorKind kind, MemKind mem, MemoryInfo** out) {
    return Call<Status*(int, int, MemoryInfo**)>(kCreateCpuMemoryInfo, kind, mem, out);
}
inline Status* AllocatorFree(Allocator* a, void* p) {
    return Call<Status*(Allocator*, void*)>(kAllocatorFree, a, p);
}
inline Status* GetAllocatorWithDefaultOptions(Allocator** out) {
    return Call<Status*(Allocator**)>(kGetAllocatorWithDefaultOptions, out);
}
inline Status* SessionGetModelMetadata(const Session* s, ModelMetadata** out) {
    return Call<Status*(const Session*, ModelMetadata**)>(kSessionGetModelMetadata, s, out);
}
inline Status* ModelMetadataLookupCustomMetadataMap(const ModelMetadata* m, Allocator* a, const char* key,
                                                    char** out) {
    return Call<Status*(const ModelMetadata*, Allocator*, const char*, char**)>(
        kModelMetadataLookupCustomMetadataMap, m, a, key, out);
}
// max_mem bounds the pool; -1 keeps the runtime's default for the others.
inline Status* CreateArenaCfg(std::size_t maxBytes, int extendStrategy, int initialChunkBytes, int maxDeadBytes,
                              ArenaCfg** out) {
    return Call<Status*(std::size_t, int, int, int, ArenaCfg**)>(kCreateArenaCfg, maxBytes, extendStrategy,
                                                                 initialChunkBytes, maxDeadBytes, out);
}
inline Status* CreateAndRegisterAllocator(Env* env, const MemoryInfo* info, const ArenaCfg* cfg) {
    return Call<Status*(Env*, const MemoryInfo*, const ArenaCfg*)>(kCreateAndRegisterAllocator, env, info, cfg);
}
inline const char* GetErrorMessage(const Status* s) {
    return Call<const char*(const Status*)>(kGetErrorMessage, s);
}
inline void ReleaseEnv(Env* p) { Call<void(Env*)>(kReleaseEnv, p); }
inline void ReleaseStatus(Status* p) { Call<void(Status*)>(kReleaseStatus, p); }
inline void ReleaseMemoryInfo(MemoryInfo* p) { Call<void(MemoryInfo*)>(kReleaseMemoryInfo, p); }
inline void ReleaseSession(Session* p) { Call<void(Session*)>(kReleaseSession, p); }
inline void ReleaseValue(Value* p) { Call<void(Value*)>(kReleaseValue, p); }
inline void ReleaseTypeInfo(TypeInfo* p) { Call<void(TypeInfo*)>(kReleaseTypeInfo, p); }
inline void ReleaseSessionOptions(SessionOptions* p) { Call<void(SessionOptions*)>(kReleaseSessionOptions, p); }
inline void ReleaseModelMetadata(ModelMetadata* p) { Call<void(ModelMetadata*)>(kReleaseModelMetadata, p); }
inline void ReleaseArenaCfg(ArenaCfg* p) { Call<void(ArenaCfg*)>(kReleaseArenaCfg, p); }

// True when status is success; otherwise prints "tesk: <what>: <message>" on
// stderr and releases the status.
bool Check(Status* status, const char* what);

}  // namespace ort

#endif
