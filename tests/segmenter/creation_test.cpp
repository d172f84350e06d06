#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "segmenter_fixture.h"

namespace {

const std::string kFlagsDefault =
    "ConnectedComponentLabeling: false, MaskBlur: true, MultiFrameSmooth: true,         "
    "needSigmoid: true, runModelType:0.\n";

TEST(Creation, LogsEachStepAndPassesTheModelStatusUp) {
    LogCapture log;
    const int status = VidraCreateWithPath(640, 480, 2, EmptyFolder().c_str());
    const std::string text = log.Text();
    EXPECT_EQ(status, -1);  // the folder holds no model file
    EXPECT_EQ(text,
              "SorvanePlus Create wtih:width = 640, height = 480, frameType = 2!\n" + kFlagsDefault +
                  "ModelInit:Start Model Init\n"
                  "model file name: model_144x80_2ch_nosig_sim_f32.tesk.\n"
                  "NNXPreparePlus start.\n"
                  "NNXPrepare ret: -1\n"
                  "g_model.InitIPU ret: -1.");
    // Buffers sized for the frame and the default record.
    EXPECT_EQ(g_model.m_width, 640);
    EXPECT_EQ(g_model.m_inputSize, 138240);
    ASSERT_NE(g_model.m_nnxModel, nullptr);
    ASSERT_NE(g_model.m_keyframeMask, nullptr);
    ASSERT_NE(g_model.m_resizedFrame, nullptr);
    EXPECT_TRUE(g_model.m_buffersReady);
    EXPECT_EQ(std::string(g_model.m_params.modelName), kSegParams144x80.modelName);
    DestroyQuietly();
}

TEST(Creation, RefusesBadArgumentsWithoutChangingTheSegmenter) {
    SegParams changed = kSegParams144x80;
    changed.runModelType = 7;
    ASSERT_EQ(CreateWithoutModel(320, 240, 1, changed), -1);
    DestroyQuietly();

    struct Case {
        const char* what;
        SegParams params;
        int width;
        const char* path;
        std::string expected;
    };
    SegParams wide = kSegParams144x80;
    wide.inputWidth = 320;
    SegParams bigOutput = kSegParams144x80;
    bigOutput.outputWidth = 400;
    bigOutput.outputHeight = 160;
    SegParams ccl = kSegParams640x480;
    ccl.ConnectedComponentLabeling = true;
    SegParams huge = kSegParams144x80;
    huge.maskWidth = 40000;
    huge.maskHeight = 40000;
    // Every count fits 32 bits, but the buffers would take about 2 GiB.
    SegParams heavy = kSegParams144x80;
    heavy.maskWidth = 8192;
    heavy.maskHeight = 8192;
    SegParams threads = kSegParams144x80;
    threads.runModelType = 2000;
    // A flag byte of 2 is true, whatever the compiler makes of such a bool.
    SegParams cclTwo = kSegParams640x480;
    const unsigned char two = 2;
    std::memcpy(&cclTwo.ConnectedComponentLabeling, &two, 1);
    const std::string folder = EmptyFolder();
    const Case cases[] = {
        {"input size", wide, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: the network input must be 3 x 288 x 160\n"},
        {"output larger than mask", bigOutput, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: an output plane must not be larger than the mask\n"},
        {"component filter size", ccl, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: ConnectedComponentLabeling needs a 288 x 160 mask\n"},
        {"component filter size, flag byte 2", cclTwo, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: ConnectedComponentLabeling needs a 288 x 160 mask\n"},
        {"creation bytes", heavy, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: the buffers would exceed 1 GiB\n"},
        {"thread count", threads, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: runModelType must be 0 to 64\n"},
        {"mask overflow", huge, 320, folder.c_str(),
         "VidraCreateWithPathPlus: model parameter refused: the mask geometry is too large\n"},
        {"frame overflow", kSegParams144x80, 65536, folder.c_str(),
         "VidraCreateWithPathPlus: frame size 65536 x 65536 refused: the frame is too large\n"},
        {"null folder", kSegParams144x80, 320, nullptr,
         "VidraCreateWithPathPlus: model path is nullptr\n"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        const int height = c.width == 65536 ? 65536 : 240;
        EXPECT_EQ(VidraCreateWithPathPlus(c.width, height, 1, c.path, &c.params), -1) << c.what;
        EXPECT_EQ(log.Text(), c.expected) << c.what;
        EXPECT_EQ(g_model.m_width, 320) << c.what;
        EXPECT_EQ(g_model.m_params.runModelType, 7) << c.what;
    }

    LogCapture log;
    EXPECT_EQ(VidraCreateWithPathPlus(320, 240, 1, folder.c_str(), nullptr), -1);
    EXPECT_EQ(log.Text(), "VidraCreateWithPathPlus: model parameter is nullptr\n");
    EXPECT_EQ(g_model.m_params.runModelType, 7);
}

TEST(Creation, AnyNonZeroFlagByteIsTrue) {
    SegParams params = kSegParams144x80;
    const unsigned char two = 2;
    std::memcpy(&params.ConnectedComponentLabeling, &two, 1);
    std::memcpy(&params.needSigmoid, &two, 1);
    params.MaskBlur = false;
    params.runModelType = 3;
    LogCapture log;
    VidraCreateWithPathPlus(288, 160, 1, EmptyFolder().c_str(), &params);
    const std::string text = log.Text();
    EXPECT_NE(text.find("ConnectedComponentLabeling: true, MaskBlur: false, MultiFrameSmooth: true,"
                        "         needSigmoid: true, runModelType:3.\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(g_model.m_params.ConnectedComponentLabeling);
    DestroyQuietly();
}

TEST(Creation, ModelNameIsCutAtItsFirstNulOrAtCapacity) {
    SegParams params = kSegParams144x80;
    std::memset(params.modelName, 'm', sizeof params.modelName);  // no terminator at all
    LogCapture log;
    VidraCreateWithPathPlus(288, 160, 1, EmptyFolder().c_str(), &params);
    log.Text();
    EXPECT_EQ(std::strlen(g_model.m_params.modelName), sizeof params.modelName - 1);
    DestroyQuietly();
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
        EXPECT_EQ(log.Text(),
                  "SorvaneDestroy!\nStart DestroyIPU:NNXRelease() \nrelease m_nnxModel start\n"
                  "End DestroyIPU:NNXRelease() \n");
        EXPECT_EQ(g_model.m_nnxModel, nullptr);
        EXPECT_NE(g_model.m_keyframeMask, nullptr);  // buffers stay until the next creation
    }
    {
        LogCapture log;
        EXPECT_EQ(VidraCreate(), 0);
        EXPECT_EQ(VidraAlgControl(5, true), 0);
        EXPECT_EQ(VidraAlgLogLevel(3), 0);
        EXPECT_EQ(VidraFrameProcess(nullptr, nullptr, nullptr), -1);
        EXPECT_EQ(log.Text(),
                  "SorvaneAlgControl:algType = 5, flag = 1!\nSorvaneAlgLogLevel:loglevel = 3!"
                  "Model is nullptr");
    }
}

}  // namespace
