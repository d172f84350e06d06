// Model creation and the descriptor arrays of libtesk.seg.
#include <climits>

#include "engine_test_util.h"

namespace {

struct BadCreation {
    const char* what;
    std::string path;
    std::int32_t reserved0, reserved1, runModelType;
};

TEST(EngineCreate, RefusesWhatItCannotRunLeavingHandlesZero) {
    const std::vector<BadCreation> cases = {
        {"missing file", TestModel("no_such_model.tesk"), 0, 0, 0},
        {"folder", std::string(VIDRA_TEST_MODEL_DIR) + "/test", 0, 0, 0},
        {"empty file", TestModel("empty.tesk"), 0, 0, 0},
        {"truncated model", TestModel("truncated.tesk"), 0, 0, 0},
        {"not a model", TestModel("not_onnx.tesk"), 0, 0, 0},
        {"five dimensions", TestModel("bad_rank5.tesk"), 0, 0, 0},
        {"dynamic dimension", TestModel("bad_dynamic.tesk"), 0, 0, 0},
        {"int64 output", TestModel("bad_int64.tesk"), 0, 0, 0},
        {"sequence input", TestModel("bad_sequence.tesk"), 0, 0, 0},
        {"unknown format code", TestModel("bad_format.tesk"), 0, 0, 0},
        {"shape unlike its format", TestModel("bad_format5.tesk"), 0, 0, 0},
        {"negative run-model type", TestModel("affine.tesk"), 0, 0, -1},
        {"most negative run-model type", TestModel("affine.tesk"), 0, 0, INT_MIN},
        {"first reserved nonzero", TestModel("affine.tesk"), 1, 0, 0},
        {"second reserved nonzero", TestModel("affine.tesk"), 0, 7, 0},
    };
    for (const BadCreation& c : cases) {
        std::uint64_t model = 0xdeadbeef, result = 0xdeadbeef;
        EXPECT_NE(0, CreateInference(c.reserved0, c.path.c_str(), c.reserved1, c.runModelType, &model, &result))
            << c.what;
        EXPECT_EQ(0u, model) << c.what;
        EXPECT_EQ(0u, result) << c.what;
    }

    std::uint64_t model = 0xdeadbeef, result = 0xdeadbeef;
    EXPECT_NE(0, CreateInference(0, nullptr, 0, 0, &model, &result));
    EXPECT_EQ(0u, model);
    EXPECT_EQ(0u, result);
    model = 0xdeadbeef;
    EXPECT_NE(0, CreateInference(0, TestModel("affine.tesk").c_str(), 0, 0, &model, nullptr));
    EXPECT_EQ(0u, model);
    result = 0xdeadbeef;
    EXPECT_NE(0, CreateInference(0, TestModel("affine.tesk").c_str(), 0, 0, nullptr, &result));
    EXPECT_EQ(0u, result);
}

TEST(EngineCreate, AcceptsThreadedRunTypesAndGivesDistinctHandles) {
    LoadedModel a, b;
    ASSERT_TRUE(a.Load("affine.tesk", 0));
    ASSERT_TRUE(b.Load("affine.tesk", 3));
    EXPECT_NE(a.model, a.result);
    EXPECT_NE(a.model, b.model);
    EXPECT_NE(a.result, b.result);
}

struct Expected {
    const char* name;
    std::int32_t d0, d1, d2, d3, type, format;
};

void ExpectTensors(const TensorList& list, const std::vector<Expected>& expected, const char* model) {
    ASSERT_EQ(static_cast<std::int32_t>(expected.size()), list.count) << model;
    for (const Expected& e : expected) {
        const int i = list.IndexOf(e.name);
        ASSERT_GE(i, 0) << model << ": " << e.name;
        EXPECT_EQ(e.d0, list.dim0[i]) << model << ": " << e.name;
        EXPECT_EQ(e.d1, list.dim1[i]) << model << ": " << e.name;
        EXPECT_EQ(e.d2, list.dim2[i]) << model << ": " << e.name;
        EXPECT_EQ(e.d3, list.dim3[i]) << model << ": " << e.name;
        EXPECT_EQ(e.type, list.types[i]) << model << ": " << e.name;
        EXPECT_EQ(e.format, list.formats[i]) << model << ": " << e.name;
    }
}

// Dimensions are the logical N, C, H, W whatever the layout; lower ranks gain
// leading ones.
TEST(EngineDescribe, ReportsLogicalDimsTypesAndFormats) {
    struct Case {
        const char* model;
        std::vector<Expected> inputs, outputs;
    };
    const std::vector<Case> cases = {
        {"affine.tesk", {{"x", 1, 3, 4, 4, 0, 0}}, {{"y", 1, 3, 4, 4, 0, 0}}},
        {"rank3.tesk", {{"x", 1, 2, 3, 5, 0, 0}}, {{"y", 1, 2, 3, 5, 0, 0}}},
        {"two_outputs.tesk", {{"x", 1, 3, 4, 4, 0, 0}}, {{"sum", 1, 3, 4, 4, 0, 0}, {"mean", 1, 1, 4, 4, 0, 0}}},
        {"half_out.tesk", {{"x", 1, 3, 4, 4, 0, 0}}, {{"y", 1, 3, 4, 4, 1, 0}}},
        {"half_in.tesk", {{"x", 1, 3, 4, 4, 1, 0}}, {{"y", 1, 3, 4, 4, 0, 0}}},
        {"ints.tesk", {{"x", 1, 3, 4, 5, 4, 1}},
         {{"u8", 1, 3, 4, 5, 4, 1}, {"i8", 1, 3, 4, 5, 5, 1}, {"i32", 1, 3, 4, 5, 2, 1}, {"u32", 1, 3, 4, 5, 3, 1}}},
        {"formats.tesk", {{"x", 1, 6, 4, 5, 0, 0}},
         {{"y1", 1, 6, 4, 5, 0, 1}, {"y2", 1, 6, 4, 5, 0, 2}, {"y5", 1, 6, 4, 5, 0, 5}, {"y7", 1, 6, 4, 5, 0, 7}}},
    };
    for (const Case& c : cases) {
        LoadedModel m;
        ASSERT_TRUE(m.Load(c.model)) << c.model;
        ExpectTensors(m.inputs, c.inputs, c.model);
        ExpectTensors(m.outputs, c.outputs, c.model);
    }
}

TEST(EngineDescribe, RefusesNullSlotsAndForeignHandles) {
    LoadedModel m;
    ASSERT_TRUE(m.Load("affine.tesk"));
    TensorList list;
    list.count = 99;
    // A result handle is not a model handle, nor the reverse.
    EXPECT_NE(0, CreateInputTensorDesc(m.result, &list.count, &list.names, &list.dim0, &list.dim1, &list.dim2,
                                       &list.dim3, &list.types, &list.formats));
    EXPECT_EQ(0, list.count);
    EXPECT_EQ(nullptr, list.names);
    EXPECT_NE(0, CreateOutputTensorDesc(m.model, &list.count, &list.names, &list.dim0, &list.dim1, &list.dim2,
                                        &list.dim3, &list.types, &list.formats));
    EXPECT_NE(0, CreateInputTensorDesc(0, &list.count, &list.names, &list.dim0, &list.dim1, &list.dim2, &list.dim3,
                                       &list.types, &list.formats));
    EXPECT_NE(0, CreateInputTensorDesc(m.model, &list.count, &list.names, &list.dim0, &list.dim1, &list.dim2,
                                       &list.dim3, &list.types, nullptr));
    EXPECT_EQ(nullptr, list.names);
    EXPECT_NE(0, CreateOutputTensorDesc(m.result, nullptr, &list.names, &list.dim0, &list.dim1, &list.dim2,
                                        &list.dim3, &list.types, &list.formats));
    EXPECT_EQ(nullptr, list.names);
}

}  // namespace
