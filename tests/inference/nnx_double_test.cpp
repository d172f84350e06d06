// The NNX functions against the recording double of the engine: which engine
// calls they make, with what, in which order, and what they deliver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine_double.h"
#include "vidra.h"

namespace {

std::int64_t P(const void* p) { return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(p)); }
using Strings = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;

// Any existing regular file does: the double never reads it.
const std::string kDir = std::string(VIDRA_TEST_SOURCE_DIR) + "/tests/inference";
const std::string kModelFile = kDir + "/nnx_double_test.cpp";

class NnxDouble : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void TearDown() override {
        std::free(model.inputData);
        std::free(model.outputData);
    }
    void Fresh() {  // a zero record and the double's defaults
        TearDown();
        std::memset(&model, 0, sizeof model);
        DoubleReset();
    }
    void Prepare() {  // and forget the preparation's calls
        ASSERT_EQ(0, NNXPreparePlus(kModelFile.c_str(), 0, &model));
        s->callCount = 0;
    }
    Strings Calls() const {
        Strings names;
        for (int i = 0; i < s->callCount; ++i) names.emplace_back(s->calls[i].name);
        return names;
    }
    void ExpectArgs(int call, const std::vector<std::int64_t>& args) const {
        ASSERT_LT(call, s->callCount);
        for (std::size_t i = 0; i < args.size(); ++i)
            EXPECT_EQ(args[i], s->calls[call].args[i]) << s->calls[call].name << " argument " << i;
    }

    DoubleState* s = DoubleGetState();
    NnxModel model{};
    std::vector<float> in = std::vector<float>(3 * 160 * 288);
};

// Refused before any engine call, the record untouched; else the handles and
// descriptors go into the record, stopping at what the engine leaves zero.
TEST_F(NnxDouble, PrepareHandsTheRecordOverOrRefusesWithoutCallingTheEngine) {
    NnxModel r;
    std::memset(&r, 0x5a, sizeof r);
    for (const std::string& path : {kDir + "/no_such.tesk", kDir, std::string()}) {
        EXPECT_EQ(-1, NNXPrepare(path.c_str(), &r)) << path;
        EXPECT_EQ(-1, NNXPreparePlus(path.c_str(), 2, &r)) << path;
    }
    EXPECT_EQ(-1, NNXPreparePlus(nullptr, 0, &r));
    EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, nullptr));
    EXPECT_EQ(0, s->callCount);
    EXPECT_EQ(std::string(sizeof r, 0x5a), std::string(reinterpret_cast<const char*>(&r), sizeof r)) << "touched";

    ASSERT_EQ(0, NNXPreparePlus(kModelFile.c_str(), 3, &model));
    EXPECT_EQ((Strings{"CreateInference", "CreateInputTensorDesc", "CreateOutputTensorDesc"}), Calls());
    ExpectArgs(0, {0, P(kModelFile.c_str()), 0, 3, P(&model.modelHandle), P(&model.resultHandle)});
    ExpectArgs(1, {0x1111, P(&model.inputCount), P(&model.inputNames), P(&model.inputDim0), P(&model.inputDim1),
                   P(&model.inputDim2), P(&model.inputDim3), P(&model.inputDataTypes), P(&model.inputDataFormats)});
    ExpectArgs(2, {0x2222, P(&model.outputCount), P(&model.outputNames), P(&model.outputDim0), P(&model.outputDim1),
                   P(&model.outputDim2), P(&model.outputDim3), P(&model.outputDataTypes), P(&model.outputDataFormats)});
    EXPECT_TRUE(model.inputData != nullptr && model.outputData != nullptr);
    Fresh();
    ASSERT_EQ(0, NNXPrepare(kModelFile.c_str(), &model));
    EXPECT_EQ(0, s->calls[0].args[3]) << "NNXPrepare is run-model type 0";

    for (std::uint64_t* handle : {&s->modelHandle, &s->resultHandle}) {  // zero: no descriptor calls
        Fresh();
        *handle = 0;
        EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, &model));
        EXPECT_EQ((Strings{"CreateInference"}), Calls());
    }
    Fresh();
    s->outputCount = -1;  // no pointer array for it
    EXPECT_EQ(-1, NNXPreparePlus(kModelFile.c_str(), 0, &model));
}

TEST_F(NnxDouble, RunRefusesNullBuffersAndCopiesAnOutputOnlyIntoABufferThatHoldsIt) {
    Prepare();
    Bytes out(92161, 0xee);  // 1 x 2 x 80 x 144 floats are 92,160 bytes
    const std::uint64_t inBytes = in.size() * 4;
    EXPECT_EQ(-1, NNXRun(&model, nullptr, out.data()));
    EXPECT_EQ(-1, NNXRun(&model, in.data(), nullptr));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{nullptr, inBytes}}, {{out.data(), 92160}}));
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), inBytes}}, {{nullptr, 92160}}));
    EXPECT_EQ(0, s->callCount);
    EXPECT_EQ(-1, NNXRunPlus(&model, {{in.data(), inBytes}}, {{out.data(), 92159}}));
    for (unsigned char c : out) ASSERT_EQ(0xee, c) << "a refused output was written";
    EXPECT_EQ(0, NNXRunPlus(&model, {{in.data(), inBytes}}, {{out.data(), 92160}}));
    EXPECT_EQ(0, std::memcmp(out.data(), s->storage[0], 92160));
    EXPECT_EQ(0xee, out[92160]);
    EXPECT_EQ((Strings{"RunModelWithType", "GetOutputDataFromResultHandle", "RunModelWithType",
                       "GetOutputDataFromResultHandle"}),
              Calls());
    ExpectArgs(2, {0x1111, 0x2222, 1, P(model.inputNames), s->calls[2].args[4], P(model.inputData), 0});
    ExpectArgs(3, {0x2222, 1, P(model.outputData)});
    EXPECT_EQ(in.data(), s->runData[0]);
}

TEST_F(NnxDouble, HalvesAndOtherLayoutsAreConvertedToPlanarOthersCopied) {
    s->inputCount = 3;
    s->inputs[0] = {1, 3, 4, 4, 1, 0};  // float16, supplied as float32
    s->inputs[1] = {1, 1, 4, 4, 0, 0};
    s->inputs[2] = {1, 4, 4, 3, 4, 1};
    s->outputCount = 4;
    s->outputs[0] = {1, 3, 4, 4, 1, 0};  // float16: widened
    s->outputs[1] = {1, 5, 2, 3, 0, 5};  // float32 blocked: to planar
    s->outputs[2] = {1, 3, 4, 5, 4, 1};  // bytes interleaved: copied, 1 byte each
    s->outputs[3] = {1, 2, 3, 3, 5, 7};  // int8 by column: to planar int8
    Prepare();
    std::vector<float> a(48), b(16), big(2 * 80 * 144);
    Bytes c(48);
    const std::size_t sizes[] = {48 * 4, 30 * 4, 60, 18};
    std::vector<Bytes> outs(4);
    // Inputs hold what the engine reads: the float16 one as float32.
    auto run = [&](int shortOne, std::uint64_t shortInput = 0) {  // one output a byte short
        std::vector<NnxBuffer> list;
        for (int k = 0; k < 4; ++k) {
            outs[k].assign(sizes[k] + 1, 0xee);
            list.push_back({outs[k].data(), sizes[k] - (k == shortOne)});
        }
        return NNXRunPlus(&model, {{a.data(), 48 * 4 - shortInput}, {b.data(), 16 * 4}, {c.data(), 48}}, list);
    };
    EXPECT_EQ(-1, NNXRun(&model, a.data(), big.data())) << "four outputs";
    EXPECT_EQ(-1, NNXRunPlus(&model, {{a.data(), 48 * 4}}, {{big.data(), 92160}}));
    EXPECT_EQ(-1, run(-1, 2)) << "an input buffer too small for a float16 input fed as float32";
    EXPECT_EQ(0, s->callCount) << "the engine ran";
    ASSERT_EQ(0, run(-1));
    EXPECT_TRUE(s->runTypes[0] == 0 && s->runTypes[1] == 0 && s->runTypes[2] == 4);
    EXPECT_EQ(1, model.inputDataTypes[0]) << "the record's declared type changed";
    EXPECT_EQ(c.data(), s->runData[2]);
    EXPECT_EQ((Strings{"RunModelWithType", "GetOutputDataFromResultHandle", "TransformDataTypeAndFormat",
                       "TransformDataTypeAndFormat", "TransformDataTypeAndFormat"}),
              Calls());
    const int converted[][4] = {{0, 1, 0, 0}, {1, 0, 5, 0}, {3, 5, 7, 5}};  // output, source type, format, type
    for (int k = 0; k < 3; ++k) {
        const int o = converted[k][0];
        const DoubleTensor& d = s->outputs[o];
        ExpectArgs(2 + k, {0x1111, converted[k][1], converted[k][2], d.d0, d.d1, d.d2, d.d3, P(s->storage[o]),
                           converted[k][3], 0, d.d0, d.d1, d.d2, d.d3, P(outs[o].data())});
    }
    EXPECT_EQ(0, std::memcmp(outs[2].data(), s->storage[2], 60));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(0xee, outs[k][sizes[k]]) << "wrote past output " << k;

    for (int k = 0; k < 4; ++k) {  // every buffer must hold its output, converted or copied
        EXPECT_EQ(-1, run(k)) << "output " << k;
        for (unsigned char v : outs[k]) ASSERT_EQ(0xee, v) << "output " << k;
    }
}

TEST_F(NnxDouble, ReleaseGivesBackInOrderOnceAndNullRecordsAreRefused) {
    s->outputCount = 2;
    s->outputs[1] = {1, 1, 4, 4, 0, 0};
    Prepare();
    const NnxModel m = model;
    ASSERT_EQ(0, NNXRelease(&model));
    EXPECT_EQ((Strings{"DestroyModel", "FreeResultHandle", "FreeTensorDesc", "FreeTensorDesc"}), Calls());
    ExpectArgs(0, {0x1111});
    ExpectArgs(1, {0x2222});
    ExpectArgs(2, {1, P(m.inputNames), P(m.inputDim0), P(m.inputDim1), P(m.inputDim2), P(m.inputDim3),
                   P(m.inputDataTypes), P(m.inputDataFormats)});
    ExpectArgs(3, {2, P(m.outputNames), P(m.outputDim0), P(m.outputDim1), P(m.outputDim2), P(m.outputDim3),
                   P(m.outputDataTypes), P(m.outputDataFormats)});
    EXPECT_TRUE(model.modelHandle == 0 && model.resultHandle == 0 && !model.inputData && !model.outputData);

    s->callCount = 0;
    std::vector<float> out(2 * 80 * 144);
    EXPECT_EQ(-1, NNXRelease(&model));
    EXPECT_EQ(-1, NNXRun(&model, in.data(), out.data()));
    EXPECT_EQ(-1, NNXRelease(nullptr));
    EXPECT_EQ(-1, NNXRun(nullptr, in.data(), out.data()));
    EXPECT_EQ(-1, NNXRunPlus(nullptr, {}, {}));
    EXPECT_EQ(0, s->callCount);
}

}  // namespace
