// Finds the model file in the model folder (the configured name, or the first
// file with the model extension that a directory search meets) and prepares
// the inference record with it. Paths use the backslash separator and fit a
// 1000-byte buffer; they are handed to the file system in its own form.
#include <cstring>

#include "common/log.h"
#include "inference/dir_search.h"
#include "inference/model_search.h"
#include "segmenter/class_ipu_plus.h"

namespace {

constexpr size_t kPathBufferSize = 1000;
constexpr char kSeparator = '\\';
const char* const kModelExtension = ".tesk";

// Appends text to a zero-terminated path held in a kPathBufferSize buffer;
// false (buffer unchanged) when it would not fit with its terminator.
bool Append(char* buffer, const std::string& text) {
    const size_t used = std::strlen(buffer);
    if (used + text.size() + 1 > kPathBufferSize) return false;
    std::memcpy(buffer + used, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

namespace ipu {

int32_t ClassIPUPlus::LoadModel(std::string folder) {
    if (m_nnxModel == nullptr) return -2;
    std::string modelPath;
    if (BuildModelPath(folder, kModelExtension, modelPath) != 0) return -1;
    LogPrintf("NNXPreparePlus start.\n");
    const int32_t status =
        NNXPreparePlus(NativePath(modelPath).c_str(), m_params.runModelType, m_nnxModel);
    LogPrintf("NNXPrepare ret: %d\n", status);
    return status;
}

int32_t ClassIPUPlus::BuildModelPath(const std::string& folder, const std::string& extension,
                                     std::string& modelPath) {
    if (folder.size() > kPathBufferSize) {
        LogPrintf("ModelInit: Model path is too long\n");
        return -1;
    }
    char buffer[kPathBufferSize] = {};
    if (!Append(buffer, folder)) {
        LogPrintf("ModelInit: write model path error\n");
        return -1;
    }
    if (folder.empty() || folder.back() != kSeparator) {
        if (!Append(buffer, std::string(1, kSeparator))) return -1;
    }
    const std::string name = ChooseModelFile(buffer, extension);
    if (!Append(buffer, name)) return -1;
    modelPath = buffer;
    return 0;
}

std::string ClassIPUPlus::ChooseModelFile(const std::string& folder, const std::string& extension) {
    std::string chosen = m_params.modelName;
    if (chosen.empty()) {
        std::vector<std::string> found;
        ScanModelFiles(folder, extension, found);
        if (found.empty()) {
            LogPrintf("No files with the extension %s were sent.\n", extension.c_str());
        } else {
            const size_t cut = found.front().rfind(kSeparator);
            chosen = cut == std::string::npos ? found.front() : found.front().substr(cut + 1);
        }
    }
    LogPrintf("model file name: %s.\n", chosen.c_str());
    return chosen;
}

void ClassIPUPlus::ScanModelFiles(const std::string& folder, const std::string& extension,
                                  std::vector<std::string>& found) {
    SearchModelFiles(folder, extension, found);
}

}  // namespace ipu
