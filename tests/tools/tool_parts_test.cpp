// The parts of vidra-segment with their own arithmetic or parsing: the command
// line, the p95 of frame times, ffprobe's answer, image-sequence
// names, the frame queue between threads, the encoder and audio choices.
#include "file_identity.h"
#include "frame_queue.h"
#include "options.h"
#include "probe.h"
#include "progress.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>

using namespace vseg;

namespace {

std::string Parse(std::vector<const char*> args, Options& opts) {
    args.insert(args.begin(), "vidra-segment");
    return ParseOptions(static_cast<int>(args.size()), args.data(), opts);
}

}  // namespace

TEST(Options, Values) {
    Options p;
    EXPECT_EQ(Parse({"-o", "c.mp4", "--mask=m.mkv", "--frame-type", "2", "--params", "640x480", "--color", "#10Ff00",
                     "--max-frames=7", "--input-format", "v4l2", "--input-opt", "video_size=640x480", "x.png"},
                    p),
              "");
    EXPECT_EQ(p.output, "c.mp4");
    EXPECT_EQ(p.mask, "m.mkv");
    EXPECT_EQ(p.frameType, 2);
    EXPECT_EQ(p.params, ModelParams::k640x480);
    EXPECT_EQ(p.background, BackgroundMode::Color);
    EXPECT_EQ((std::vector<int>{p.color[0], p.color[1], p.color[2]}), (std::vector<int>{0x10, 0xff, 0x00}));
    EXPECT_EQ(p.maxFrames, 7);
    EXPECT_TRUE(p.liveInput);
    EXPECT_EQ(p.inputArgs, (std::vector<std::string>{"-f", "v4l2", "-video_size", "640x480"}));
    EXPECT_EQ(p.input, "x.png");
}

TEST(Options, Errors) {
    struct Case {
        std::vector<const char*> args;
        const char* mentions;
    } cases[] = {
        {{}, "no input"},
        {{"a.mp4", "b.mp4"}, "more than one input"},
        {{"--frame-type", "3", "a.mp4"}, "--frame-type"},
        {{"--frame-type", "1x", "a.mp4"}, "--frame-type"},
        {{"--color", "12345", "a.mp4"}, "--color"},
        {{"--color", "12345g", "a.mp4"}, "--color"},
        {{"--params", "320x240", "a.mp4"}, "--params"},
        {{"--bogus", "a.mp4"}, "--bogus"},
        {{"a.mp4", "-o"}, "-o needs a value"},
        {{"--remove", "--color", "000000", "a.mp4"}, "exclude"},
        {{"--background", "b.png", "--remove", "a.mp4"}, "exclude"},
        {{"--color", "000000", "--blur-radius", "4", "a.mp4"}, "--blur-radius"},
        {{"--blur-radius", "0", "a.mp4"}, "--blur-radius"},
        {{"--max-frames", "-1", "a.mp4"}, "--max-frames"},
        {{"--input-opt", "novalue", "a.mp4"}, "KEY=VALUE"},
        {{"--remove=yes", "a.mp4"}, "takes no value"},
        {{"-"}, "unknown option '-'"},
    };
    for (const Case& c : cases) {
        Options o;
        std::string error = Parse(c.args, o);
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "got '" << error << "', wanted '" << c.mentions << "'";
    }
}

TEST(Progress, PercentileIsNearestRank) {
    FrameTimes t;
    EXPECT_EQ(t.Percentile(0.95), 0.0);
    for (int i = 20; i >= 1; --i) t.Add(i);
    EXPECT_DOUBLE_EQ(t.Mean(), 10.5);
    EXPECT_DOUBLE_EQ(t.Percentile(0.95), 19.0);
    EXPECT_DOUBLE_EQ(t.Percentile(1.0), 20.0);
    FrameTimes one;
    one.Add(3.25);
    EXPECT_DOUBLE_EQ(one.Percentile(0.95), 3.25);
}

TEST(Probe, RatesRotationStillsAndMissingValues) {
    InputInfo clip;
    ASSERT_TRUE(ParseProbeOutput("width=302\nheight=226\nr_frame_rate=30/1\navg_frame_rate=15/1\nnb_frames=12\n"
                                 "format_name=mov,mp4,m4a,3gp,3g2,mj2\n",
                                 clip));
    EXPECT_EQ(clip.frameRate, "15/1");
    EXPECT_DOUBLE_EQ(clip.fps, 15.0);
    EXPECT_EQ(clip.frameCount, 12);
    EXPECT_FALSE(clip.still);

    InputInfo rotated;
    ASSERT_TRUE(ParseProbeOutput("width=640\nheight=480\navg_frame_rate=0/0\nr_frame_rate=30000/1001\n"
                                 "nb_frames=N/A\nrotation=-90\nformat_name=matroska,webm\n",
                                 rotated));
    EXPECT_EQ(rotated.width, 480);
    EXPECT_EQ(rotated.height, 640);
    EXPECT_EQ(rotated.frameRate, "30000/1001");
    EXPECT_EQ(rotated.frameCount, -1);

    InputInfo still;
    ASSERT_TRUE(ParseProbeOutput("width=512\r\nheight=512\r\navg_frame_rate=0/0\r\nr_frame_rate=25/1\r\n"
                                 "nb_frames=N/A\r\nformat_name=png_pipe\r\n",
                                 still));
    EXPECT_TRUE(still.still);
    EXPECT_EQ(still.frameCount, 1);

    InputInfo none;
    EXPECT_FALSE(ParseProbeOutput("format_name=wav\n", none));
}

// Which names an image-sequence output may write: what an input or another
// output must not be called.
TEST(NamePattern, ParsesAndMatchesLikeFfmpeg) {
    struct Case {
        const char* pattern;
        const char* name;
        bool produces;
    } cases[] = {
        {"f%04d.png", "f0001.png", true},   {"f%04d.png", "f12345.png", true}, {"f%04d.png", "f001.png", false},
        {"f%04d.png", "f00001.png", false}, {"f%04d.png", "g0001.png", false}, {"f%04d.png", "f0001.jpg", false},
        {"f%d.png", "f7.png", true},        {"f%d.png", "f0.png", true},       {"f%d.png", "f07.png", false},
        {"f%d.png", "f.png", false},        {"f%d.png", "fx.png", false},      {"a%%b%02d", "a%b07", true},
        {"%d", "123", true},                {"%d", "a", false},
    };
    for (const Case& c : cases) {
        NamePattern p;
        ASSERT_TRUE(ParseNamePattern(c.pattern, p)) << c.pattern;
        EXPECT_EQ(PatternProduces(p, c.name), c.produces) << c.pattern << " " << c.name;
    }
    for (const char* bad : {"f%x.png", "f%d%d.png", "f%00d.png", "100%.png", "f%.png", "f%%.png", "f%010d.png"}) {
        NamePattern p;
        EXPECT_FALSE(ParseNamePattern(bad, p)) << bad;
    }
}

// A file's frames all arrive, in order; a live source's consumer that falls
// behind gets the newest frame, and every frame is either used or dropped.
TEST(FrameQueue, KeepsOrderOrDropsTheOldest) {
    for (bool keepNewest : {false, true}) {
        FrameQueue q(sizeof(int), 2, keepNewest);
        const int n = 500;
        std::thread producer([&] {
            for (int i = 0; i < n; ++i) {
                Frame* f = q.Acquire();
                ASSERT_NE(f, nullptr);
                std::memcpy(f->data(), &i, sizeof i);
                q.Push(f);
            }
            q.Finish();
        });
        std::vector<int> seen;
        int last = -1;
        while (Frame* f = q.Pop()) {
            // Slow at first, so that a live queue must drop.
            if (seen.size() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            int v;
            std::memcpy(&v, f->data(), sizeof v);
            EXPECT_GT(v, last);
            seen.push_back(v);
            last = v;
            q.Release(f);
        }
        producer.join();
        EXPECT_EQ(seen.back(), n - 1) << "keepNewest " << keepNewest;
        EXPECT_EQ(static_cast<long>(seen.size()) + q.Dropped(), n) << "keepNewest " << keepNewest;
        if (keepNewest) {
            EXPECT_GT(q.Dropped(), 0);
        } else {
            for (int i = 0; i < n; ++i) ASSERT_EQ(seen[i], i);
        }
    }
}

TEST(FrameQueue, AbortWakesBothSides) {
    FrameQueue q(1, 1, false);
    for (int i = 0; i < 3; ++i) q.Push(q.Acquire());  // every buffer waits: the next Acquire would block
    std::thread producer([&] { EXPECT_EQ(q.Acquire(), nullptr); });
    std::thread consumer([&] {
        FrameQueue empty(1, 1, false);
        std::thread stopper([&] { empty.Abort(); });
        EXPECT_EQ(empty.Pop(), nullptr);
        stopper.join();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    q.Abort();
    producer.join();
    consumer.join();
    EXPECT_EQ(q.Pop(), nullptr);
}

TEST(Writer, EncoderAndAudioChoices) {
    struct Case {
        const char* path;
        PixelFormat format;
        const char* audioCodec;
        const char* audioAction;  // "copy", an encoder, or "" for no audio
        bool refused;
    } cases[] = {
        {"a.mp4", PixelFormat::Bgr, "aac", "copy", false},
        {"a.mp4", PixelFormat::Bgr, "opus", "aac", false},
        {"a.MOV", PixelFormat::Bgr, "pcm_s16le", "copy", false},
        {"a.mkv", PixelFormat::Rgba, "flac", "copy", false},
        {"a.webm", PixelFormat::Bgr, "opus", "copy", false},
        {"a.webm", PixelFormat::Bgr, "aac", "libopus", false},
        {"a.avi", PixelFormat::Bgr, "ac3", "copy", false},
        {"a.avi", PixelFormat::Bgr, "aac", "libmp3lame", false},
        {"a.png", PixelFormat::Rgba, "aac", "", false},
        {"f%03d.jpg", PixelFormat::Bgr, "aac", "", false},
        {"/dev/video10", PixelFormat::Bgr, "aac", "", false},
        {"/dev/video10", PixelFormat::Rgba, "aac", "", true},
        {"a.mp4", PixelFormat::Rgba, "aac", "", true},
        {"a.gif", PixelFormat::Bgr, "aac", "", true},
    };
    for (const Case& c : cases) {
        EncoderChoice e = ChooseEncoder(c.path, c.format);
        EXPECT_EQ(!e.error.empty(), c.refused) << c.path;
        if (c.refused) continue;
        std::vector<std::string> audio = AudioArgs(e, c.audioCodec);
        EXPECT_EQ(audio.size() >= 2 ? audio[1] : "", c.audioAction) << c.path << " " << c.audioCodec;
        WriterStream s;
        s.width = 5;
        s.height = 3;
        s.frameRate = "30/1";
        s.audioInput = "in.avi";
        s.audioArgs = audio;
        std::vector<std::string> argv = WriterArgs(c.path, e, c.format, s);
        EXPECT_EQ(argv.back(), c.path);
        const bool mapsAudio = std::find(argv.begin(), argv.end(), "1:a:0") != argv.end();
        EXPECT_EQ(mapsAudio, !audio.empty()) << c.path;
        // Odd sides are cropped for the encoders that need even ones.
        const bool crops = std::find(argv.begin(), argv.end(), "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0") != argv.end();
        EXPECT_EQ(crops, e.evenSize) << c.path;
    }
    // H.264's preset follows the frame size.
    for (auto size : {std::make_pair(1280, 720), std::make_pair(1282, 720), std::make_pair(1920, 1080)}) {
        WriterStream s;
        s.width = size.first;
        s.height = size.second;
        s.frameRate = "30/1";
        std::vector<std::string> argv = WriterArgs("a.mp4", ChooseEncoder("a.mp4", PixelFormat::Bgr), PixelFormat::Bgr, s);
        auto preset = std::find(argv.begin(), argv.end(), "-preset");
        ASSERT_NE(preset, argv.end());
        EXPECT_EQ(preset[1], size.first * size.second <= 1280 * 720 ? "superfast" : "ultrafast") << size.first;
    }
}
