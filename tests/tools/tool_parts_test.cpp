// The parts of vidra-segment with their own arithmetic or parsing: the command
// line, compositing, the p95 of frame times, ffprobe's answer, image-sequence
// names.
#include "composite.h"
#include "file_identity.h"
#include "options.h"
#include "probe.h"
#include "progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

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

TEST(Composite, BlendRoundsToNearest) {
    std::mt19937 rng(7);
    const size_t n = 5000;
    std::vector<uint8_t> fg(n * 4), bg(n * 3), mask(n), out(n * 3);
    for (auto* v : {&fg, &bg, &mask})
        for (auto& x : *v) x = static_cast<uint8_t>(rng());
    mask[0] = 0;
    mask[1] = 255;
    for (int step : {3, 4}) {
        BlendOver(fg.data(), step, bg.data(), mask.data(), n, out.data());
        for (size_t p = 0; p < n; ++p)
            for (int c = 0; c < 3; ++c) {
                double a = mask[p] / 255.0;
                double want = fg[p * step + c] * a + bg[p * 3 + c] * (1.0 - a);
                ASSERT_LE(std::fabs(out[p * 3 + c] - want), 0.5 + 1e-9) << "pixel " << p << " step " << step;
            }
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(out[c], bg[c]);             // mask 0: background only
            EXPECT_EQ(out[3 + c], fg[step + c]);  // mask 255: person only
        }
    }
}

// Against a plain box blur with repeated edges, three passes each way; the
// largest radius is wider than the image is high. A fourth byte is not read.
TEST(Composite, BlurMatchesReferenceBoxBlur) {
    const int w = 37, h = 23;
    std::mt19937 rng(3);
    std::vector<uint8_t> rgb(w * h * 3), rgba(w * h * 4);
    for (int p = 0; p < w * h; ++p) {
        for (int c = 0; c < 3; ++c)
            rgb[p * 3 + c] = rgba[p * 4 + c] =
                static_cast<uint8_t>(p % w < w / 3 ? 240 - c * 20 : (rng() % 60) + p / w * 4);
        rgba[p * 4 + 3] = static_cast<uint8_t>(rng());
    }
    auto at = [](int v, int n) { return std::min(std::max(v, 0), n - 1); };
    for (int r : {1, 3, 12}) {
        std::vector<double> a(rgb.begin(), rgb.end()), b(a.size());
        for (int pass = 0; pass < 6; ++pass) {
            bool across = pass % 2 == 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 3; ++c) {
                        double s = 0;
                        for (int k = -r; k <= r; ++k)
                            s += across ? a[(y * w + at(x + k, w)) * 3 + c] : a[(at(y + k, h) * w + x) * 3 + c];
                        b[(y * w + x) * 3 + c] = s / (2 * r + 1);
                    }
            std::swap(a, b);
        }
        for (int step : {3, 4}) {
            std::vector<uint8_t> out, scratch;
            BlurBackground(step == 3 ? rgb.data() : rgba.data(), w, h, step, r, out, scratch);
            ASSERT_EQ(out.size(), a.size());
            double worst = 0;
            for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(out[i] - a[i]));
            EXPECT_LE(worst, 2.0) << "radius " << r << " step " << step;  // six roundings to whole bytes
        }
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
