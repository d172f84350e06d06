// NNXPrepare / NNXPreparePlus: the model file is opened once as a test, then
// the engine creates the model, its result handle and both descriptor sets.
#include <sys/stat.h>
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "inference/engine_api.h"
#include "inference/nnx_check.h"

namespace {

// True when path is a regular file that opens for reading (shared). The type
// is checked before opening, since opening a FIFO or a device can wait
// forever, and again on the open file (Linux opens without waiting), since
// the path may have changed in between. Linux lets a program open a folder
// for reading, Windows does not.
bool OpensAsFile(const char* path) {
#if defined(_WIN32)
    struct _stat64 st;
    if (_stat64(path, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return false;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    const bool regular = _fstat64(_fileno(f), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
    std::fclose(f);
#else
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
#endif
    return regular;
}

// 8 bytes per entry for a count widened with its sign; a negative count
// overflows the unsigned product and asks for the largest size, which no
// allocation satisfies.
std::size_t PointerArrayBytes(std::int32_t count) {
    static_assert(sizeof(void*) == 8, "64-bit targets only");
    const std::uint64_t n = static_cast<std::uint64_t>(static_cast<std::int64_t>(count));
    return n > SIZE_MAX / 8 ? SIZE_MAX : static_cast<std::size_t>(n * 8);
}

}  // namespace

extern "C" VIDRA_API int32_t NNXPreparePlus(const char* modelFile, int32_t runModelType, NnxModel* model) {
    // Null arguments fail like an unopenable file: no engine call, nothing touched.
    if (modelFile == nullptr || model == nullptr || !OpensAsFile(modelFile)) return -1;
    CreateInference(0, modelFile, 0, runModelType, &model->modelHandle, &model->resultHandle);
    if (model->modelHandle == 0 || model->resultHandle == 0) return -1;
    CreateInputTensorDesc(model->modelHandle, &model->inputCount, &model->inputNames, &model->inputDim0,
                          &model->inputDim1, &model->inputDim2, &model->inputDim3, &model->inputDataTypes,
                          &model->inputDataFormats);
    CreateOutputTensorDesc(model->resultHandle, &model->outputCount, &model->outputNames, &model->outputDim0,
                           &model->outputDim1, &model->outputDim2, &model->outputDim3, &model->outputDataTypes,
                           &model->outputDataFormats);
    model->inputData = static_cast<void**>(std::malloc(PointerArrayBytes(model->inputCount)));
    model->outputData = static_cast<void**>(std::malloc(PointerArrayBytes(model->outputCount)));
    return CheckNnxModel(model);
}

extern "C" VIDRA_API int32_t NNXPrepare(const char* modelFile, NnxModel* model) {
    return NNXPreparePlus(modelFile, 0, model);
}
