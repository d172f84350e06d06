// The NNX functions against a recording double of the engine library: which
// engine calls they make, with what, in which order, and what they deliver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine_double.h"
#include "inference/nnx_check.h"
#include "vidra.h"

namespace {

std::int64_t P(const void* p) { return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(p)); }

// Any existing regular file does: the double never reads it.
const std::string kModelFile = std::string(VIDRA_TEST_SOURCE_DIR) + "/tests/inference/nnx_double_test.cpp";

class NnxDouble : public ::testing::Test {
protected:
    void SetUp() override {
        DoubleReset();
        s = DoubleGetState();
        std::memset(&model, 0, sizeof model);
    }
    void TearDown() override {
        std::free(model.inputData);
        std::free(model.outputData);
    }

    // A zero record and a double in its default state.
    void Fresh() {
        std::free(model.inputData);
        std::free(model.outputData);
        std::memset(&model, 0, sizeof model);
        DoubleReset();
    }
    // Prepares the record and forgets the preparation's calls.
    void Prepare() {
        ASSERT_EQ(0, NNXPreparePlus(kModelFile.c_str(), 0, &model));
        s->callCount = 0;
    }
    std::vector<std::string> Calls() const {
        std::vector<std::string> names;
        for (int i = 0; i < s->callCount; ++i) names.emplace_back(s->calls[i].name);
        return names;
    }
    int CountOf(const std::string& name) const {
        int n = 0;
        for (const std::string& c : Calls()) n += c == name;
        return n;
    }
    bool RecordIsZero() const {
        NnxModel zero;
        std::memset(&zero, 0, sizeof zero);
        return std::memcmp(&zero, &model, sizeof zero) == 0;
    }
    const DoubleCall& CallNamed(const std::string& name, int which = 0) const {
        for (int i = 0; i < s->callCount; ++i) {
            if (name == s->calls[i].name && which-- == 0) return s->calls[i];
        }
        ADD_FAILURE() << "no call " << name;
        return s->calls[0];
    }

    DoubleState* s = nullptr;
    NnxModel model;
};

using Strings = std::vector<std::string>;

TEST_F(NnxDouble, PrepareOfWhatIsNoFileCallsNothing) {
    const std::string missing = std::string(VIDRA_TEST_SOURCE_DIR) + "/tests/inference/no_such.tesk";
    const std::string folder = std::string(VIDRA_TEST_SOURCE_DIR) + "/tests/inference";
    for (const std::string& path : {missing, folder, std::string()}) {
        EXPECT_EQ(-1, NNXPrepare(path.c_str(), &model)) << path;
        EXPECT_EQ(-1, NNXPreparePlus(path.c_str(), 2, &model)) << path;
    }
    EXPECT_EQ(-1, NNXPreparePlus(nullptr, 0, &model));
    EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, nullptr));
    EXPECT_EQ(0, s->callCount);
    EXPECT_TRUE(RecordIsZero());
}

TEST_F(NnxDouble, PrepareHandsArgumentsOverAndFillsTheRecord) {
    ASSERT_EQ(0, NNXPreparePlus(kModelFile.c_str(), 3, &model));
    EXPECT_EQ((Strings{"CreateInference", "CreateInputTensorDesc", "CreateOutputTensorDesc"}), Calls());
    const DoubleCall& create = s->calls[0];
    const std::int64_t expectedCreate[] = {0, P(kModelFile.c_str()), 0, 3, P(&model.modelHandle),
                                           P(&model.resultHandle)};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(expectedCreate[i], create.args[i]) << "argument " << i;
    const std::int64_t expectedIn[] = {0x1111, P(&model.inputCount), P(&model.inputNames), P(&model.inputDim0),
                                       P(&model.inputDim1), P(&model.inputDim2), P(&model.inputDim3),
                                       P(&model.inputDataTypes), P(&model.inputDataFormats)};
    const std::int64_t expectedOut[] = {0x2222, P(&model.outputCount), P(&model.outputNames),
                                        P(&model.outputDim0), P(&model.outputDim1), P(&model.outputDim2),
                                        P(&model.outputDim3), P(&model.outputDataTypes),
                                        P(&model.outputDataFormats)};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(expectedIn[i], s->calls[1].args[i]) << "input descriptor argument " << i;
        EXPECT_EQ(expectedOut[i], s->calls[2].args[i]) << "output descriptor argument " << i;
    }
    EXPECT_EQ(0x1111u, model.modelHandle);
    EXPECT_EQ(0x2222u, model.resultHandle);
    EXPECT_EQ(s->in.names, model.inputNames);
    EXPECT_EQ(s->out.formats, model.outputDataFormats);
    EXPECT_NE(nullptr, model.inputData);
    EXPECT_NE(nullptr, model.outputData);
    EXPECT_EQ(0, CheckNnxModel(&model));

    // NNXPrepare is the same with run-model type 0.
    std::free(model.inputData);
    std::free(model.outputData);
    std::memset(&model, 0, sizeof model);
    s->callCount = 0;
    ASSERT_EQ(0, NNXPrepare(kModelFile.c_str(), &model));
    EXPECT_EQ(0, s->calls[0].args[3]);
}

TEST_F(NnxDouble, PrepareFailsOnWhatTheEngineLeavesZero) {
    // A zero handle stops before the descriptor calls; what the engine wrote stays.
    s->resultHandle = 0;
    EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, &model));
    EXPECT_EQ((Strings{"CreateInference"}), Calls());
    EXPECT_EQ(0x1111u, model.modelHandle);
    EXPECT_EQ(0, model.inputCount);

    Fresh();
    s->modelHandle = 0;
    EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, &model));
    EXPECT_EQ((Strings{"CreateInference"}), Calls());
    EXPECT_EQ(0x2222u, model.resultHandle);

    // Any field still zero after the descriptor calls: a zero count, a null
    // array, or a negative count whose pointer array cannot be allocated.
    struct Case {
        const char* what;
        std::int32_t inputCount, outputCount;
        bool nullFormats;
    } cases[] = {{"zero inputs", 0, 1, false}, {"null format arrays", 1, 1, true}, {"negative outputs", 1, -1, false}};
    for (const Case& c : cases) {
        Fresh();
        s->inputCount = c.inputCount;
        s->outputCount = c.outputCount;
        s->nullFormatArrays = c.nullFormats;
        EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, &model)) << c.what;
        EXPECT_EQ(3, s->callCount) << c.what;
    }
    EXPECT_EQ(nullptr, model.outputData);
    EXPECT_NE(nullptr, model.inputData);
}

TEST_F(NnxDouble, RunRefusesNullBuffersAndInvalidRecords) {
    std::vector<float> in(3 * 160 * 288), out(2 * 80 * 144);
    // Fresh (zero) record first, then a prepared one with null buffers.
    EXPECT_EQ(-1, NNXRun(&model, in.data(), out.data()));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 4}}, {{out.data(), 4}}));
    EXPECT_EQ(-1, NNXRelease(&model));
    EXPECT_EQ(-1, NNXRun(nullptr, in.data(), out.data()));
    EXPECT_EQ(-1, NNXRunPlus(nullptr, {}, {}));
    EXPECT_EQ(-1, NNXRelease(nullptr));
    Prepare();
    EXPECT_EQ(-1, NNXRun(&model, nullptr, out.data()));
    EXPECT_EQ(-1, NNXRun(&model, in.data(), nullptr));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{nullptr, 4}}, {{out.data(), out.size() * 4}}));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 4}}, {{nullptr, out.size() * 4}}));
    EXPECT_EQ(0, s->callCount);
    EXPECT_EQ(0, NNXRun(&model, in.data(), out.data()));
}

TEST_F(NnxDouble, ListLengthsMustMatchTheCounts) {
    s->outputCount = 2;
    s->outputs[1] = {1, 1, 4, 4, 0, 0};
    Prepare();
    std::vector<float> in(3 * 160 * 288), a(2 * 80 * 144), b(16);
    EXPECT_EQ(-1, NNXRun(&model, in.data(), a.data()));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}, {in.data(), 0}}, {{a.data(), 92160}, {b.data(), 64}}));
    EXPECT_EQ(-1, NNXRunPlus(&model, {}, {{a.data(), 92160}, {b.data(), 64}}));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}}, {{a.data(), 92160}}));
    EXPECT_EQ(0, s->callCount) << "the engine ran";
    EXPECT_EQ(0, NNXRunPlus(&model, {{in.data(), 0}}, {{a.data(), 92160}, {b.data(), 64}}));
    EXPECT_EQ(0, std::memcmp(b.data(), s->storage[1], 64));
}

TEST_F(NnxDouble, CopiedOutputIsBoundedByItsEntrySize) {
    Prepare();
    std::vector<float> in(3 * 160 * 288);
    std::vector<unsigned char> out(92161, 0xee);
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}}, {{out.data(), 92159}}));
    EXPECT_EQ(1, s->runs) << "the run happens before the size check";
    for (unsigned char c : out) ASSERT_EQ(0xee, c) << "a refused output was written";

    EXPECT_EQ(0, NNXRunPlus(&model, {{in.data(), 0}}, {{out.data(), 92160}}));
    EXPECT_EQ(0, std::memcmp(out.data(), s->storage[0], 92160));
    EXPECT_EQ(0xee, out[92160]) << "copied past the output";
    // The run's calls, in order, with the record's arrays.
    EXPECT_EQ((Strings{"RunModelWithType", "GetOutputDataFromResultHandle", "RunModelWithType",
                       "GetOutputDataFromResultHandle"}),
              Calls());
    const DoubleCall& run = s->calls[2];
    const std::int64_t expected[] = {0x1111, 0x2222, 1, P(model.inputNames), run.args[4], P(model.inputData), 0};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(expected[i], run.args[i]) << "argument " << i;
    EXPECT_EQ(in.data(), s->lastRunData[0]);
    const DoubleCall& get = s->calls[3];
    EXPECT_EQ(0x2222, get.args[0]);
    EXPECT_EQ(1, get.args[1]);
    EXPECT_EQ(P(model.outputData), get.args[2]);

    // NNXRun states 2,147,483,647 bytes for its buffer: the copy goes through.
    std::fill(out.begin(), out.end(), 0xee);
    EXPECT_EQ(0, NNXRun(&model, in.data(), out.data()));
    EXPECT_EQ(0, std::memcmp(out.data(), s->storage[0], 92160));
}

TEST_F(NnxDouble, InputTypeOneIsDeclaredAsZero) {
    s->inputCount = 3;
    s->inputs[0] = {1, 3, 4, 4, 1, 0};
    s->inputs[1] = {1, 1, 4, 4, 0, 0};
    s->inputs[2] = {1, 4, 4, 3, 4, 1};
    Prepare();
    std::vector<float> a(48), b(16);
    std::vector<unsigned char> c(48);
    std::vector<float> out(2 * 80 * 144);
    ASSERT_EQ(0, NNXRunPlus(&model, {{a.data(), 0}, {b.data(), 0}, {c.data(), 0}}, {{out.data(), 92160}}));
    EXPECT_EQ(0, s->lastRunTypes[0]);
    EXPECT_EQ(0, s->lastRunTypes[1]);
    EXPECT_EQ(4, s->lastRunTypes[2]);
    EXPECT_EQ(1, model.inputDataTypes[0]) << "the record's declared type changed";
    EXPECT_EQ(a.data(), model.inputData[0]);
    EXPECT_EQ(b.data(), model.inputData[1]);
    EXPECT_EQ(c.data(), model.inputData[2]);
    EXPECT_EQ(c.data(), s->lastRunData[2]);
}

TEST_F(NnxDouble, ConvertedAndCopiedOutputs) {
    s->outputCount = 4;
    s->outputs[0] = {1, 3, 4, 4, 1, 0};  // float16: widened
    s->outputs[1] = {1, 5, 2, 3, 0, 5};  // float32 blocked: to planar
    s->outputs[2] = {1, 3, 4, 5, 4, 1};  // bytes interleaved: copied, 1 byte each
    s->outputs[3] = {1, 2, 3, 3, 5, 7};  // int8 by column: to planar int8
    Prepare();
    std::vector<float> in(3 * 160 * 288);
    std::vector<unsigned char> o0(48 * 4 + 1, 0xee), o1(30 * 4 + 1, 0xee), o2(61, 0xee), o3(19, 0xee);
    ASSERT_EQ(0, NNXRunPlus(&model, {{in.data(), 0}},
                            {{o0.data(), 48 * 4}, {o1.data(), 30 * 4}, {o2.data(), 60}, {o3.data(), 18}}));
    EXPECT_EQ(3, CountOf("TransformDataTypeAndFormat"));
    struct Expected {
        int output;
        std::int32_t srcType, srcFormat, dstType;
        const std::vector<unsigned char>* buffer;
        std::size_t bytes;
    } expected[] = {{0, 1, 0, 0, &o0, 48 * 4}, {1, 0, 5, 0, &o1, 30 * 4}, {3, 5, 7, 5, &o3, 18}};
    for (int k = 0; k < 3; ++k) {
        const Expected& e = expected[k];
        const DoubleCall& t = CallNamed("TransformDataTypeAndFormat", k);
        const DoubleTensor& d = s->outputs[e.output];
        const std::int64_t args[] = {0x1111, e.srcType, e.srcFormat, d.d0, d.d1, d.d2, d.d3,
                                     P(s->storage[e.output]), e.dstType, 0, d.d0, d.d1, d.d2, d.d3,
                                     P(e.buffer->data())};
        for (int i = 0; i < 15; ++i) EXPECT_EQ(args[i], t.args[i]) << "output " << e.output << " argument " << i;
        EXPECT_EQ(0xee, (*e.buffer)[e.bytes]);
    }
    EXPECT_EQ(0, std::memcmp(o2.data(), s->storage[2], 60));
    EXPECT_EQ(0xee, o2[60]);
}

TEST_F(NnxDouble, FailingOutputStopsTheLoop) {
    s->outputCount = 3;
    s->outputs[0] = {1, 1, 4, 4, 0, 0};
    s->outputs[1] = {1, 1, 4, 4, 1, 0};
    s->outputs[2] = {1, 1, 4, 4, 0, 0};
    std::vector<float> in(3 * 160 * 288);
    std::vector<float> a(16), b(16), c(16);
    s->transformResults[0] = 3;
    Prepare();
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}}, {{a.data(), 64}, {b.data(), 64}, {c.data(), 64}}));
    EXPECT_EQ(0, std::memcmp(a.data(), s->storage[0], 64)) << "earlier output not delivered";
    for (float v : c) ASSERT_EQ(0.0f, v) << "later output touched";

    // A converted output must fit its entry as well: the engine is not asked.
    s->callCount = 0;
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}}, {{a.data(), 64}, {b.data(), 63}, {c.data(), 64}}));
    EXPECT_EQ(0, CountOf("TransformDataTypeAndFormat"));
    for (float v : c) ASSERT_EQ(0.0f, v);
    EXPECT_EQ(0, NNXRunPlus(&model, {{in.data(), 0}}, {{a.data(), 64}, {b.data(), 64}, {c.data(), 64}}));
}

TEST_F(NnxDouble, UnknownTypesAndMissingOutputPointersAreRefused) {
    std::vector<float> in(3 * 160 * 288), out(16, 0.0f);
    for (std::int32_t format : {0, 5}) {
        Fresh();
        s->outputs[0] = {1, 1, 4, 4, 9, format};
        Prepare();
        EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}}, {{out.data(), 1 << 20}})) << format;
        EXPECT_EQ(1, s->runs);
        EXPECT_EQ(0, CountOf("TransformDataTypeAndFormat"));
    }
    Fresh();
    s->outputs[0] = {1, 1, 4, 4, 0, 0};
    s->writeOutputPointers = false;
    Prepare();
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), 0}}, {{out.data(), 64}}));
    EXPECT_EQ(1, s->runs);
    for (float v : out) ASSERT_EQ(0.0f, v);
}

// The element count is a 32-bit signed product, widened before it is
// multiplied by the element size.
TEST_F(NnxDouble, ElementCountIsA32BitProductWidenedForBytes) {
    std::vector<float> in(3 * 160 * 288);
    std::vector<unsigned char> out(16, 0xee);
    struct Case {
        const char* what;
        DoubleTensor tensor;
        std::int32_t status;
    } cases[] = {
        {"2^30 floats are 4 GiB, beyond NNXRun's 2^31 - 1", {1, 1024, 1024, 1024, 0, 0}, -1},
        {"2^31 wraps negative", {2, 1024, 1024, 1024, 4, 0}, -1},
        {"2^32 wraps to nothing", {4, 1024, 1024, 1024, 4, 0}, 0},
    };
    for (const Case& c : cases) {
        Fresh();
        s->outputs[0] = c.tensor;
        Prepare();
        EXPECT_EQ(c.status, NNXRun(&model, in.data(), out.data())) << c.what;
        for (unsigned char v : out) ASSERT_EQ(0xee, v) << c.what;
    }
}

TEST_F(NnxDouble, ReleaseGivesBackInOrderOnce) {
    s->outputCount = 2;
    s->outputs[1] = {1, 1, 4, 4, 0, 0};
    Prepare();
    NnxModel before = model;
    ASSERT_EQ(0, NNXRelease(&model));
    EXPECT_EQ((Strings{"DestroyModel", "FreeResultHandle", "FreeTensorDesc", "FreeTensorDesc"}), Calls());
    EXPECT_EQ(0x1111, s->calls[0].args[0]);
    EXPECT_EQ(0x2222, s->calls[1].args[0]);
    const std::int64_t in[] = {1, P(before.inputNames), P(before.inputDim0), P(before.inputDim1),
                               P(before.inputDim2), P(before.inputDim3), P(before.inputDataTypes),
                               P(before.inputDataFormats)};
    const std::int64_t out[] = {2, P(before.outputNames), P(before.outputDim0), P(before.outputDim1),
                                P(before.outputDim2), P(before.outputDim3), P(before.outputDataTypes),
                                P(before.outputDataFormats)};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(in[i], s->calls[2].args[i]) << "inputs, argument " << i;
        EXPECT_EQ(out[i], s->calls[3].args[i]) << "outputs, argument " << i;
    }
    // Handles and the record's own arrays are cleared; counts and engine arrays stay.
    EXPECT_EQ(0u, model.modelHandle);
    EXPECT_EQ(0u, model.resultHandle);
    EXPECT_EQ(nullptr, model.inputData);
    EXPECT_EQ(nullptr, model.outputData);
    EXPECT_EQ(1, model.inputCount);
    EXPECT_EQ(2, model.outputCount);
    EXPECT_EQ(before.outputDim3, model.outputDim3);

    s->callCount = 0;
    std::vector<float> buffer(3 * 160 * 288);
    EXPECT_EQ(-1, NNXRelease(&model));
    EXPECT_EQ(-1, NNXRun(&model, buffer.data(), buffer.data()));
    EXPECT_EQ(0, s->callCount);
}

TEST_F(NnxDouble, ReleaseSkipsDescriptorsOfNonPositiveCounts) {
    // A record the engine filled with a negative input count (valid: any nonzero count is).
    Prepare();
    model.inputCount = -2;
    ASSERT_EQ(0, CheckNnxModel(&model));
    ASSERT_EQ(0, NNXRelease(&model));
    EXPECT_EQ((Strings{"DestroyModel", "FreeResultHandle", "FreeTensorDesc"}), Calls());
    EXPECT_EQ(1, s->calls[2].args[0]) << "the output descriptors are the ones freed";
}

TEST(NnxCheck, EveryFieldMustBeNonzero) {
    EXPECT_EQ(-1, CheckNnxModel(nullptr));
    NnxModel m;
    std::memset(&m, 0xff, sizeof m);  // every field nonzero, counts -1
    ASSERT_EQ(0, CheckNnxModel(&m));
    // Clear one field at a time: each alone invalidates the record.
    const std::size_t fields[] = {
        offsetof(NnxModel, modelHandle), offsetof(NnxModel, resultHandle), offsetof(NnxModel, inputCount),
        offsetof(NnxModel, inputNames), offsetof(NnxModel, inputDim0), offsetof(NnxModel, inputDim1),
        offsetof(NnxModel, inputDim2), offsetof(NnxModel, inputDim3), offsetof(NnxModel, inputDataTypes),
        offsetof(NnxModel, inputDataFormats), offsetof(NnxModel, inputData), offsetof(NnxModel, outputCount),
        offsetof(NnxModel, outputNames), offsetof(NnxModel, outputDim0), offsetof(NnxModel, outputDim1),
        offsetof(NnxModel, outputDim2), offsetof(NnxModel, outputDim3), offsetof(NnxModel, outputDataTypes),
        offsetof(NnxModel, outputDataFormats), offsetof(NnxModel, outputData)};
    for (std::size_t offset : fields) {
        NnxModel copy = m;
        unsigned char* c = reinterpret_cast<unsigned char*>(&copy);
        const std::size_t width = (offset == offsetof(NnxModel, inputCount) ||
                                   offset == offsetof(NnxModel, outputCount)) ? 4 : 8;
        std::memset(c + offset, 0, width);
        EXPECT_EQ(-1, CheckNnxModel(&copy)) << "field at offset " << offset;
    }
}

}  // namespace
