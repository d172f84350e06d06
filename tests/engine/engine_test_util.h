// Shared helpers of the engine tests: test model paths and a loaded model
// whose handles and descriptor arrays are given back at the end of the test.
#ifndef VIDRA_TESTS_ENGINE_TEST_UTIL_H
#define VIDRA_TESTS_ENGINE_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "inference/engine_api.h"

inline std::string TestModel(const std::string& name) {
    return std::string(VIDRA_TEST_MODEL_DIR) + "/test/" + name;
}

// The seven arrays and the count of one direction.
struct TensorList {
    std::int32_t count = 0;
    char** names = nullptr;
    std::int32_t* dim0 = nullptr;
    std::int32_t* dim1 = nullptr;
    std::int32_t* dim2 = nullptr;
    std::int32_t* dim3 = nullptr;
    std::int32_t* types = nullptr;
    std::int32_t* formats = nullptr;

    std::int64_t Elements(int i) const {
        return std::int64_t{dim0[i]} * dim1[i] * dim2[i] * dim3[i];
    }
    int IndexOf(const std::string& name) const {
        for (int i = 0; i < count; ++i) {
            if (name == names[i]) return i;
        }
        return -1;
    }
    std::int32_t Free() {
        const std::int32_t status = FreeTensorDesc(count, names, dim0, dim1, dim2, dim3, types, formats);
        names = nullptr;
        return status;
    }
};

struct LoadedModel {
    std::uint64_t model = 0;
    std::uint64_t result = 0;
    TensorList inputs, outputs;

    // Loads a test model; false when the engine refuses it.
    bool Load(const std::string& name, std::int32_t runModelType = 0) {
        CreateInference(0, TestModel(name).c_str(), 0, runModelType, &model, &result);
        if (model == 0 || result == 0) return false;
        CreateInputTensorDesc(model, &inputs.count, &inputs.names, &inputs.dim0, &inputs.dim1, &inputs.dim2,
                              &inputs.dim3, &inputs.types, &inputs.formats);
        CreateOutputTensorDesc(result, &outputs.count, &outputs.names, &outputs.dim0, &outputs.dim1,
                               &outputs.dim2, &outputs.dim3, &outputs.types, &outputs.formats);
        return inputs.count > 0 && outputs.count > 0;
    }

    // Runs with the given input buffers (model order, declared types unless
    // types is given) and returns the run status.
    std::int32_t Run(std::vector<void*> data, std::vector<std::int32_t> types = {}) {
        if (types.empty()) types.assign(inputs.types, inputs.types + inputs.count);
        return RunModelWithType(model, result, static_cast<std::int32_t>(data.size()), inputs.names, types.data(),
                                data.data(), nullptr);
    }

    std::vector<void*> Outputs() {
        std::vector<void*> out(static_cast<std::size_t>(outputs.count), nullptr);
        EXPECT_EQ(0, GetOutputDataFromResultHandle(result, outputs.count, out.data()));
        return out;
    }

    ~LoadedModel() {
        if (model != 0) DestroyModel(model);
        if (result != 0) FreeResultHandle(result);
        if (inputs.names != nullptr) inputs.Free();
        if (outputs.names != nullptr) outputs.Free();
    }
};

#endif
