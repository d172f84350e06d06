#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "segmenter_fixture.h"

namespace {

// Sets a flag through its byte, as a host built by another compiler may.
void SetFlagByte(bool& flag, unsigned char byte) { std::memcpy(&flag, &byte, 1); }

SegParams With(SegParams params, const std::function<void(SegParams&)>& change) {
    change(params);
    return params;
}

// Each step is logged and the model's status passed up. The host's record is
// read by its bytes: any non-zero flag byte is true, and a name without a
// terminator is cut at the array's capacity.
TEST(Creation, LogsEachStepAndReadsTheHostRecordByItsBytes) {
    SegParams bytes = kSegParams144x80;
    SetFlagByte(bytes.ConnectedComponentLabeling, 2);
    SetFlagByte(bytes.needSigmoid, 2);
    bytes.MaskBlur = false;
    bytes.runModelType = 3;
    std::memset(bytes.modelName, 'm', sizeof bytes.modelName);
    const struct {
        const SegParams* params;  // null: VidraCreateWithPath
        std::string flags, name;
    } cases[] = {
        {nullptr, "ConnectedComponentLabeling: false, MaskBlur: true, MultiFrameSmooth: true,         "
                  "needSigmoid: true, runModelType:0.\n",
         "model_144x80_2ch_nosig_sim_f32.tesk"},
        {&bytes, "ConnectedComponentLabeling: true, MaskBlur: false, MultiFrameSmooth: true,         "
                 "needSigmoid: true, runModelType:3.\n",
         std::string(sizeof bytes.modelName - 1, 'm')},
    };
    const std::string folder = EmptyFolder();
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.params ? VidraCreateWithPathPlus(640, 480, 2, folder.c_str(), c.params)
                           : VidraCreateWithPath(640, 480, 2, folder.c_str()),
                  -1);  // no model file there
        EXPECT_EQ(log.Text(), "SorvanePlus Create wtih:width = 640, height = 480, frameType = 2!\n" + c.flags +
                                  "ModelInit:Start Model Init\nmodel file name: " + c.name +
                                  ".\nNNXPreparePlus start.\nNNXPrepare ret: -1\ng_model.InitIPU ret: -1.");
    }
    DestroyQuietly();
}

TEST(Creation, RefusalsLeaveTheSegmenterUnchanged) {
    const SegParams marked = With(kSegParams144x80, [](SegParams& p) { p.runModelType = 7; });
    ASSERT_EQ(CreateWithoutModel(320, 240, 1, marked), -1);
    DestroyQuietly();

    const std::string folder = EmptyFolder();
    const std::string refused = "VidraCreateWithPathPlus: model parameter refused: ";
    const std::string cclRefused = refused + "ConnectedComponentLabeling needs a 288 x 160 mask\n";
    struct Case {
        SegParams params;
        std::string log;
        int side = 0;  // a square frame of this side instead of 320 x 240
        bool noFolder = false, noRecord = false;
    };
    const Case cases[] = {
        {With(kSegParams144x80, [](SegParams& p) { p.inputWidth = 320; }),
         refused + "the network input must be 3 x 288 x 160\n"},
        {With(kSegParams144x80, [](SegParams& p) { p.outputWidth = 400; p.outputHeight = 160; }),
         refused + "an output plane must not be larger than the mask\n"},
        {With(kSegParams640x480, [](SegParams& p) { p.ConnectedComponentLabeling = true; }), cclRefused},
        {With(kSegParams640x480, [](SegParams& p) { SetFlagByte(p.ConnectedComponentLabeling, 2); }), cclRefused},
        // Every count fits 32 bits, but the buffers would take about 2 GiB.
        {With(kSegParams144x80, [](SegParams& p) { p.maskWidth = p.maskHeight = 8192; }),
         refused + "the buffers would exceed 1 GiB\n"},
        {With(kSegParams144x80, [](SegParams& p) { p.runModelType = 2000; }),
         refused + "runModelType must be 0 to 64\n"},
        {With(kSegParams144x80, [](SegParams& p) { p.maskWidth = p.maskHeight = 40000; }),
         refused + "the mask geometry is too large\n"},
        {kSegParams144x80, "VidraCreateWithPathPlus: frame size 65536 x 65536 refused: the frame is too large\n",
         65536},
        {kSegParams144x80, "VidraCreateWithPathPlus: model path is nullptr\n", 0, true},
        {kSegParams144x80, "VidraCreateWithPathPlus: model parameter is nullptr\n", 0, false, true},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(VidraCreateWithPathPlus(c.side ? c.side : 320, c.side ? c.side : 240, 1,
                                          c.noFolder ? nullptr : folder.c_str(), c.noRecord ? nullptr : &c.params),
                  -1)
            << c.log;
        EXPECT_EQ(log.Text(), c.log);
        EXPECT_EQ(g_model.m_width, 320) << c.log;
        EXPECT_EQ(g_model.m_params.runModelType, 7) << c.log;
    }
}

TEST(Creation, DestroyAndControlCallsLogAndReturnTheirStatus) {
    DestroyQuietly();  // no context from here on
    {
        LogCapture log;
        EXPECT_EQ(VidraDestroy(), 0);
        EXPECT_EQ(log.Text(), "SorvaneDestroy!\nStart DestroyIPU:NNXRelease() \nEnd DestroyIPU:NNXRelease() \n");
    }
    {
        // A record whose preparation failed is released with -1 and freed anyway.
        ASSERT_EQ(CreateWithoutModel(288, 160, 1, kSegParams144x80), -1);
        LogCapture log;
        EXPECT_EQ(VidraDestroy(), -1);
        EXPECT_EQ(log.Text(), "SorvaneDestroy!\nStart DestroyIPU:NNXRelease() \nrelease m_nnxModel start\n"
                              "End DestroyIPU:NNXRelease() \n");
        EXPECT_NE(g_model.m_keyframeMask, nullptr);  // buffers stay until the next creation
    }
    LogCapture log;
    EXPECT_EQ(VidraCreate(), 0);
    EXPECT_EQ(VidraAlgControl(5, true), 0);
    EXPECT_EQ(VidraAlgLogLevel(3), 0);
    EXPECT_EQ(VidraFrameProcess(nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(log.Text(), "SorvaneAlgControl:algType = 5, flag = 1!\nSorvaneAlgLogLevel:loglevel = 3!Model is nullptr");
}

}  // namespace
