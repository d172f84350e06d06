// The parts of vidra-segment that need neither ffmpeg nor the library:
// command line, compositing, log reading, probe parsing, encoder choice.
#include "composite.h"
#include "log_capture.h"
#include "options.h"
#include "probe.h"
#include "progress.h"
#include "reader.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace vseg;

namespace {

std::string Parse(std::vector<const char*> args, Options& opts) {
    args.insert(args.begin(), "vidra-segment");
    return ParseOptions(static_cast<int>(args.size()), args.data(), opts);
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

std::string After(const std::vector<std::string>& v, const std::string& s) {
    auto it = std::find(v.begin(), v.end(), s);
    return (it == v.end() || it + 1 == v.end()) ? "" : *(it + 1);
}

}  // namespace

// ---- command line -------------------------------------------------------

TEST(Options, DefaultsAndValues) {
    Options o;
    EXPECT_EQ(Parse({"in.mp4"}, o), "");
    EXPECT_EQ(o.input, "in.mp4");
    EXPECT_EQ(o.frameType, 1);
    EXPECT_EQ(o.background, BackgroundMode::Blur);
    EXPECT_FALSE(o.liveInput);

    Options p;
    EXPECT_EQ(Parse({"-o", "c.mp4", "--mask=m.mkv", "--frame-type", "2", "--params", "640x480", "--color",
                     "#10Ff00", "--models", "/m", "--max-frames=7", "--threads", "2", "--log", "l.txt", "x.png"},
                    p),
              "");
    EXPECT_EQ(p.output, "c.mp4");
    EXPECT_EQ(p.mask, "m.mkv");
    EXPECT_EQ(p.frameType, 2);
    EXPECT_EQ(p.params, ModelParams::k640x480);
    EXPECT_EQ(p.background, BackgroundMode::Color);
    EXPECT_EQ(p.color[0], 0x10);
    EXPECT_EQ(p.color[1], 0xff);
    EXPECT_EQ(p.color[2], 0x00);
    EXPECT_EQ(p.modelDir, "/m");
    EXPECT_EQ(p.maxFrames, 7);
    EXPECT_EQ(p.threads, 2);
    EXPECT_EQ(p.logFile, "l.txt");
    EXPECT_EQ(p.input, "x.png");
}

TEST(Options, LiveInputArguments) {
    Options o;
    EXPECT_EQ(Parse({"--input-format", "v4l2", "--input-opt", "video_size=640x480", "--input-opt",
                     "framerate=30", "/dev/video0"},
                    o),
              "");
    EXPECT_TRUE(o.liveInput);
    std::vector<std::string> expected = {"-f", "v4l2", "-video_size", "640x480", "-framerate", "30"};
    EXPECT_EQ(o.inputArgs, expected);
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
        {{"-o", "same.mp4", "-m", "same.mp4", "a.mp4"}, "same file"},
        {{"--remove=yes", "a.mp4"}, "takes no value"},
        {{"-", }, "unknown option '-'"},
    };
    for (const Case& c : cases) {
        Options o;
        std::string error = Parse(c.args, o);
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "got '" << error << "', wanted '" << c.mentions << "'";
    }
}

TEST(Options, HelpNeedsNoInput) {
    Options o;
    EXPECT_EQ(Parse({"--help"}, o), "");
    EXPECT_TRUE(o.help);
    std::string usage = UsageText("vidra-segment", "/models/here");
    for (const char* option : {"--output", "--mask", "--log", "--background", "--color", "--remove", "--frame-type",
                               "--models", "--params", "--input-format", "--max-frames", "/models/here"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// ---- compositing ----------------------------------------------------------

TEST(Composite, BlendRoundsToNearest) {
    std::mt19937 rng(7);
    const size_t n = 5000;
    std::vector<uint8_t> fg(n * 4), bg(n * 3), mask(n), out(n * 3);
    for (auto& v : fg) v = static_cast<uint8_t>(rng());
    for (auto& v : bg) v = static_cast<uint8_t>(rng());
    for (auto& v : mask) v = static_cast<uint8_t>(rng());
    mask[0] = 0;
    mask[1] = 255;
    for (int step : {3, 4}) {
        BlendOver(fg.data(), step, bg.data(), mask.data(), n, out.data());
        for (size_t p = 0; p < n; ++p) {
            for (int c = 0; c < 3; ++c) {
                double a = mask[p] / 255.0;
                double want = fg[p * step + c] * a + bg[p * 3 + c] * (1.0 - a);
                ASSERT_LE(std::fabs(out[p * 3 + c] - want), 0.5 + 1e-9) << "pixel " << p << " step " << step;
            }
        }
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(out[c], bg[c]);                       // mask 0: background only
            EXPECT_EQ(out[3 + c], fg[step + c]);            // mask 255: person only
        }
    }
}

TEST(Composite, ColorAndAlpha) {
    const uint8_t fg[] = {10, 20, 30, 99, 200, 100, 50, 99};
    const uint8_t mask[] = {0, 255};
    const uint8_t green[] = {0, 255, 0};
    uint8_t out[6], rgba[8];
    BlendOverColor(fg, 4, green, mask, 2, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{0, 255, 0, 200, 100, 50}));
    AttachAlpha(fg, 4, mask, 2, rgba);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 8), (std::vector<uint8_t>{10, 20, 30, 0, 200, 100, 50, 255}));
}

namespace {

// Straightforward box blur with repeated edges, three times each way.
std::vector<double> ReferenceBlur(const std::vector<uint8_t>& rgb, int w, int h, int r) {
    std::vector<double> a(rgb.begin(), rgb.end()), b(a.size());
    auto clampi = [](int v, int lo, int hi) { return std::min(std::max(v, lo), hi); };
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    double s = 0;
                    for (int k = -r; k <= r; ++k) s += a[(y * w + clampi(x + k, 0, w - 1)) * 3 + c];
                    b[(y * w + x) * 3 + c] = s / (2 * r + 1);
                }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    double s = 0;
                    for (int k = -r; k <= r; ++k) s += b[(clampi(y + k, 0, h - 1) * w + x) * 3 + c];
                    a[(y * w + x) * 3 + c] = s / (2 * r + 1);
                }
    }
    return a;
}

}  // namespace

TEST(Composite, BlurMatchesReferenceBoxBlur) {
    const int w = 37, h = 23;
    std::mt19937 rng(3);
    std::vector<uint8_t> rgb(w * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(y * w + x) * 3 + c] = static_cast<uint8_t>(x < w / 3 ? 240 - c * 20 : (rng() % 60) + y * 4);
    for (int r : {1, 3, 12}) {
        std::vector<uint8_t> out, scratch;
        BlurBackground(rgb.data(), w, h, 3, r, out, scratch);
        std::vector<double> ref = ReferenceBlur(rgb, w, h, r);
        ASSERT_EQ(out.size(), ref.size());
        double worst = 0;
        for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::fabs(out[i] - ref[i]));
        EXPECT_LE(worst, 2.0) << "radius " << r;  // six roundings to whole bytes
    }
}

TEST(Composite, BlurKeepsFlatImagesAndIgnoresFourthByte) {
    const int w = 16, h = 9;
    std::vector<uint8_t> rgba(w * h * 4), rgb(w * h * 3);
    std::mt19937 rng(11);
    for (int p = 0; p < w * h; ++p) {
        for (int c = 0; c < 3; ++c) rgb[p * 3 + c] = rgba[p * 4 + c] = static_cast<uint8_t>(rng());
        rgba[p * 4 + 3] = static_cast<uint8_t>(rng());
    }
    std::vector<uint8_t> a, b, scratch;
    BlurBackground(rgba.data(), w, h, 4, 5, a, scratch);
    BlurBackground(rgb.data(), w, h, 3, 5, b, scratch);
    EXPECT_EQ(a, b);

    std::vector<uint8_t> flat(w * h * 3, 173);
    BlurBackground(flat.data(), w, h, 3, 30, a, scratch);  // radius beyond the image
    EXPECT_EQ(a, flat);
    EXPECT_EQ(DefaultBlurRadius(640, 480), 12);
    EXPECT_GE(DefaultBlurRadius(8, 8), 1);
}

// ---- reading the library's log ---------------------------------------------

TEST(LogCapture, ClassifiesFrames) {
    EXPECT_EQ(ClassifyFrameLog("CosineSimilarity: 1.000000"), FrameLog::Skipped);
    EXPECT_EQ(ClassifyFrameLog("CosineSimilarity: 0.990000save keyframe8x succeeded.NNXRun start.\n"),
              FrameLog::Inferred);
    EXPECT_EQ(ClassifyFrameLog("save keyframe8x succeeded.NNXRun start.\n"), FrameLog::Inferred);
    EXPECT_EQ(ClassifyFrameLog(""), FrameLog::Unknown);
}

TEST(LogCapture, HandsBackEachCallsTextAndKeepsAll) {
    char dir[] = "/tmp/vseg-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/log.txt";
    {
        LogCapture log;
        ASSERT_EQ(log.Start(path), "");
        std::printf("first %d", 1);
        std::string a = log.Drain();
        struct stat st;
        ASSERT_EQ(fstat(STDOUT_FILENO, &st), 0);
        EXPECT_EQ(st.st_size, 0);  // emptied after each drain
        std::printf("second\n");
        std::fputs("third", stdout);
        std::string b = log.Drain();
        std::printf("after");
        log.Stop(true);
        EXPECT_EQ(a, "first 1");
        EXPECT_EQ(b, "second\nthird");
    }
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "first 1second\nthirdafter");
    unlink(path.c_str());
    rmdir(dir);
}

TEST(LogCapture, RefusesUnwritableLogButStillHidesStdout) {
    LogCapture log;
    EXPECT_NE(log.Start("/nonexistent-dir/x/log.txt"), "");
    struct stat out, null;
    ASSERT_EQ(fstat(STDOUT_FILENO, &out), 0);
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_EQ(out.st_rdev, null.st_rdev);
    log.Stop(true);
}

// ---- timing and summary ---------------------------------------------------

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

TEST(Progress, SummaryLine) {
    FrameTimes t;
    t.Add(1.0);
    t.Add(2.0);
    t.Add(4.5);
    EXPECT_EQ(SummaryLine(3, 1, 0, t), "frames 3, skipped 1 by the keyframe test, ms per frame: mean 2.50, p95 4.50");
    EXPECT_NE(SummaryLine(3, 1, 2, t).find("2 frames logged no keyframe decision"), std::string::npos);
}

// ---- ffprobe's answer ---------------------------------------------------------

TEST(Probe, ParsesStreamAndFormat) {
    InputInfo info;
    ASSERT_TRUE(ParseProbeOutput("width=302\nheight=226\nr_frame_rate=30/1\navg_frame_rate=15/1\nnb_frames=12\n"
                                 "format_name=mov,mp4,m4a,3gp,3g2,mj2\n",
                                 info));
    EXPECT_EQ(info.width, 302);
    EXPECT_EQ(info.height, 226);
    EXPECT_EQ(info.frameRate, "15/1");
    EXPECT_DOUBLE_EQ(info.fps, 15.0);
    EXPECT_EQ(info.frameCount, 12);
    EXPECT_FALSE(info.still);
}

TEST(Probe, RotationStillsAndMissingValues) {
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

// ---- ffmpeg command lines -------------------------------------------------------

TEST(Ffmpeg, ReaderCropsOnlyWhenNeeded) {
    auto args = ReaderArgs("in.mp4", {"-f", "v4l2"}, 302, 226, 300, 3);
    EXPECT_EQ(args[0], "ffmpeg");
    EXPECT_EQ(After(args, "-f"), "v4l2");
    EXPECT_EQ(After(args, "-i"), "in.mp4");
    EXPECT_EQ(After(args, "-vf"), "scale=302:226,crop=300:226:0:0");
    EXPECT_EQ(After(args, "-pix_fmt"), "rgb24");
    EXPECT_EQ(args.back(), "-");
    auto exact = ReaderArgs("in.mp4", {}, 640, 480, 640, 4);
    EXPECT_EQ(After(exact, "-vf"), "scale=640:480");
    EXPECT_EQ(After(exact, "-pix_fmt"), "rgba");
}

TEST(Ffmpeg, EncoderFollowsExtension) {
    EncoderChoice png = ChooseEncoder("out/a.PNG", PixelFormat::Rgba);
    EXPECT_EQ(png.error, "");
    EXPECT_TRUE(png.image);
    EXPECT_TRUE(Contains(png.args, "-update"));
    EXPECT_EQ(After(png.args, "-pix_fmt"), "rgba");
    EXPECT_FALSE(Contains(ChooseEncoder("f%04d.png", PixelFormat::Gray).args, "-update"));

    EncoderChoice mp4 = ChooseEncoder("x.mp4", PixelFormat::Rgb);
    EXPECT_FALSE(mp4.image);
    EXPECT_EQ(After(mp4.args, "-c:v"), "libx264");
    EXPECT_NE(ChooseEncoder("x.mp4", PixelFormat::Rgba).error.find("transparent"), std::string::npos);
    EXPECT_NE(ChooseEncoder("x.jpg", PixelFormat::Rgba).error.find("transparent"), std::string::npos);
    EXPECT_EQ(After(ChooseEncoder("x.mov", PixelFormat::Rgba).args, "-c:v"), "qtrle");
    EXPECT_EQ(After(ChooseEncoder("x.webm", PixelFormat::Rgba).args, "-pix_fmt"), "yuva420p");
    EXPECT_EQ(After(ChooseEncoder("x.mkv", PixelFormat::Gray).args, "-pix_fmt"), "gray");
    EXPECT_NE(ChooseEncoder("x.unknown", PixelFormat::Rgb).error, "");
    EXPECT_NE(ChooseEncoder("dir.v2/noext", PixelFormat::Rgb).error, "");
}

TEST(Ffmpeg, WriterDescribesRawInputAndEvenCrop) {
    EncoderChoice mp4 = ChooseEncoder("x.mp4", PixelFormat::Gray);
    auto odd = WriterArgs("x.mp4", mp4, PixelFormat::Gray, 300, 225, "15/1");
    EXPECT_EQ(After(odd, "-pix_fmt"), "gray");
    EXPECT_EQ(After(odd, "-s"), "300x225");
    EXPECT_EQ(After(odd, "-framerate"), "15/1");
    EXPECT_EQ(After(odd, "-i"), "-");
    EXPECT_EQ(After(odd, "-vf"), "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0");
    EXPECT_EQ(odd.back(), "x.mp4");
    auto even = WriterArgs("x.mp4", mp4, PixelFormat::Gray, 300, 224, "15/1");
    EXPECT_FALSE(Contains(even, "-vf"));
    EncoderChoice png = ChooseEncoder("x.png", PixelFormat::Gray);
    EXPECT_FALSE(Contains(WriterArgs("x.png", png, PixelFormat::Gray, 300, 225, "1/1"), "-vf"));
}

// ---- child processes ------------------------------------------------------------

TEST(Subprocess, PipesBothWaysAndReportsStatus) {
    Child cat;
    ASSERT_EQ(Spawn({"cat"}, Stdio::Pipe, Stdio::Pipe, cat), 0);
    const char text[] = "frame bytes";
    ASSERT_TRUE(WriteFully(cat.stdinFd, text, sizeof text));
    CloseFd(cat.stdinFd);
    char back[sizeof text] = {};
    EXPECT_EQ(ReadFully(cat.stdoutFd, back, sizeof back), sizeof text);
    EXPECT_STREQ(back, text);
    EXPECT_EQ(Finish(cat), 0);

    Child no;
    ASSERT_EQ(Spawn({"false"}, Stdio::Null, Stdio::Null, no), 0);
    EXPECT_EQ(Finish(no), 1);
}

TEST(Subprocess, MissingProgramIsENOENT) {
    Child child;
    EXPECT_EQ(Spawn({"vidra-no-such-program-here"}, Stdio::Null, Stdio::Pipe, child), ENOENT);
    EXPECT_EQ(child.pid, -1);
    EXPECT_EQ(child.stdoutFd, -1);
}

TEST(Subprocess, ChildDoesNotInheritOurStdout) {
    // fd 1 of a child is its pipe or /dev/null, never the library's log.
    char dir[] = "/tmp/vseg-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/log.txt";
    LogCapture log;
    ASSERT_EQ(log.Start(path), "");
    Child echo;
    ASSERT_EQ(Spawn({"echo", "from child"}, Stdio::Null, Stdio::Null, echo), 0);
    EXPECT_EQ(Finish(echo), 0);
    EXPECT_EQ(log.Drain(), "");
    log.Stop(true);
    unlink(path.c_str());
    rmdir(dir);
}
