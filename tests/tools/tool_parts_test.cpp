// The parts of vidra-segment with parsing or arithmetic of their own.
#include "encoded_output.h"
#include "file_identity.h"
#include "frame_source.h"
#include "frame_queue.h"
#include "log_file.h"
#include "options.h"
#include "platform/process.h"
#include "probe.h"
#include "progress.h"
#include "reader.h"
#include "run_status.h"
#include "writer.h"

#include "vidra_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <cstring>
#include <functional>
#include <thread>
#include <tuple>

using namespace vseg;

TEST(Options, ValuesAndErrors) {
    auto parse = [](std::vector<const char*> args, Options& opts) {
        args.insert(args.begin(), "vidra-segment");
        return ParseOptions(static_cast<int>(args.size()), args.data(), opts);
    };
    Options p;
    ASSERT_EQ(parse({"-o", "c.mp4", "--mask=m.mkv", "--frame-type", "2", "--params", "640x480", "--color", "#10Ff00",
                     "--max-frames=7", "--input-format", "v4l2", "--input-opt", "video_size=640x480", "x.png"}, p), "");
    EXPECT_EQ(std::make_tuple(p.output, p.mask, p.input, p.frameType, p.maxFrames, p.liveInput),
              std::make_tuple(std::string("c.mp4"), std::string("m.mkv"), std::string("x.png"), 2, 7L, true));
    EXPECT_TRUE(p.params == ModelParams::k640x480 && p.background == BackgroundMode::Color);
    EXPECT_EQ((std::vector<int>{p.color[0], p.color[1], p.color[2]}), (std::vector<int>{0x10, 0xff, 0x00}));
    EXPECT_EQ(p.inputArgs, (std::vector<std::string>{"-f", "v4l2", "-video_size", "640x480"}));
    Options v;
    EXPECT_EQ(parse({"--version"}, v), "");  // no input needed
    EXPECT_TRUE(v.version);

    struct Case { std::vector<const char*> args; const char* mentions; } cases[] = {
        {{}, "no input"}, {{"a.mp4", "b.mp4"}, "more than one input"}, {{"a.mp4", "-o"}, "-o needs a value"},
        {{"--bogus", "x"}, "--bogus"}, {{"--frame-type", "3", "x"}, "--frame-type"},
        {{"--frame-type", "1x", "x"}, "--frame-type"}, {{"--color", "12345", "x"}, "--color"},
        {{"--color", "12345g", "x"}, "--color"}, {{"--params", "320x240", "x"}, "--params"},
        {{"--remove", "--color", "000000", "x"}, "exclude"}, {{"--background", "b.png", "--remove", "x"}, "exclude"},
        {{"--color", "000000", "--blur-radius", "4", "x"}, "--blur-radius"},
        {{"--blur-radius", "0", "x"}, "--blur-radius"}, {{"--max-frames", "-1", "x"}, "--max-frames"},
        {{"--input-opt", "novalue", "x"}, "KEY=VALUE"}, {{"--remove=yes", "x"}, "takes no value"},
        {{"-"}, "unknown option '-'"}, {{"--version=1"}, "takes no value"},
    };
    for (const Case& c : cases) {
        Options o;
        std::string error = parse(c.args, o);
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "got '" << error << "', wanted '" << c.mentions << "'";
    }
}

TEST(Progress, PercentileIsNearestRank) {
    FrameTimes t, one;
    EXPECT_EQ(t.Percentile(0.95), 0.0);
    for (int i = 20; i >= 1; --i) t.Add(i);
    one.Add(3.25);
    EXPECT_EQ((std::vector<double>{t.Mean(), t.Percentile(0.95), t.Percentile(1.0), one.Percentile(0.95)}),
              (std::vector<double>{10.5, 19.0, 20.0, 3.25}));
}

// The average rate wins over the nominal one; rotation swaps the sides; an
// image counts one frame; a stream without sides is no video.
TEST(Probe, RatesRotationStillsAndMissingValues) {
    struct Case { const char* text; bool ok; int width, height; const char* rate; long frames; bool still; } cases[] = {
        {"width=302\nheight=226\nr_frame_rate=30/1\navg_frame_rate=15/1\nnb_frames=12\n"
         "format_name=mov,mp4,m4a,3gp,3g2,mj2\n", true, 302, 226, "15/1", 12, false},
        {"width=640\nheight=480\navg_frame_rate=0/0\nr_frame_rate=30000/1001\nnb_frames=N/A\nrotation=-90\n"
         "format_name=matroska,webm\n", true, 480, 640, "30000/1001", -1, false},
        {"width=512\r\nheight=512\r\navg_frame_rate=0/0\r\nr_frame_rate=25/1\r\nnb_frames=N/A\r\n"
         "format_name=png_pipe\r\n", true, 512, 512, "25/1", 1, true},
        {"format_name=wav\n", false, 0, 0, "", -1, false},
    };
    for (const Case& c : cases) {
        InputInfo i;
        ASSERT_EQ(ParseProbeOutput(c.text, i), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(std::make_tuple(i.width, i.height, i.frameRate, i.frameCount, i.still),
                  std::make_tuple(c.width, c.height, std::string(c.rate), c.frames, c.still));
        EXPECT_DOUBLE_EQ(i.fps, std::stod(c.rate) / std::stod(std::strchr(c.rate, '/') + 1));
    }
}

// Which names an image-sequence output may write.
TEST(NamePattern, ParsesAndMatchesLikeFfmpeg) {
    struct Case { const char* pattern; const char* name; bool produces; } cases[] = {
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
    NamePattern p;
    for (const char* bad : {"f%x.png", "f%d%d.png", "f%00d.png", "100%.png", "f%.png", "f%%.png", "f%010d.png"})
        EXPECT_FALSE(ParseNamePattern(bad, p)) << bad;
}

// A file's frames all arrive in order; a live consumer that falls behind gets
// the newest, the rest counted dropped. Abort wakes a waiting producer and consumer.
TEST(FrameQueue, KeepsOrderOrDropsTheOldestAndAborts) {
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
        while (Frame* f = q.Pop()) {
            if (seen.size() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a live queue must drop
            seen.push_back(0);
            std::memcpy(&seen.back(), f->data(), sizeof(int));
            q.Release(f);
        }
        producer.join();
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end(), std::greater_equal<int>()), seen.end());  // ascending
        EXPECT_EQ(seen.back(), n - 1) << "keepNewest " << keepNewest;
        EXPECT_EQ(static_cast<long>(seen.size()) + q.Dropped(), n) << "keepNewest " << keepNewest;
        EXPECT_EQ(q.Dropped() > 0, keepNewest);
    }
    FrameQueue full(1, 1, false), empty(1, 1, false);
    for (int i = 0; i < 3; ++i) full.Push(full.Acquire());  // every buffer waits: the next Acquire blocks
    std::thread producer([&] { EXPECT_EQ(full.Acquire(), nullptr); });
    std::thread consumer([&] { EXPECT_EQ(empty.Pop(), nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    full.Abort();
    empty.Abort();
    producer.join();
    consumer.join();
    EXPECT_EQ(full.Pop(), nullptr);
}

TEST(Writer, EncoderAudioAndPresetChoices) {
    // The audio action is "copy", an encoder, or "" for no audio; null: the combination is refused.
    struct Case { const char* path; PixelFormat format; const char* audioCodec; const char* audioAction; } cases[] = {
        {"a.mp4", PixelFormat::Bgr, "aac", "copy"},       {"a.mp4", PixelFormat::Bgr, "opus", "aac"},
        {"a.MOV", PixelFormat::Bgr, "pcm_s16le", "copy"}, {"a.mkv", PixelFormat::Rgba, "flac", "copy"},
        {"a.webm", PixelFormat::Bgr, "opus", "copy"},     {"a.webm", PixelFormat::Bgr, "aac", "libopus"},
        {"a.avi", PixelFormat::Bgr, "ac3", "copy"},       {"a.avi", PixelFormat::Bgr, "aac", "libmp3lame"},
        {"a.png", PixelFormat::Rgba, "aac", ""},          {"f%03d.jpg", PixelFormat::Bgr, "aac", ""},
        {"/dev/video10", PixelFormat::Bgr, "aac", ""},    {"/dev/video10", PixelFormat::Rgba, "aac", nullptr},
        {"a.mp4", PixelFormat::Rgba, "aac", nullptr},     {"a.gif", PixelFormat::Bgr, "aac", nullptr},
    };
    auto has = [](const std::vector<std::string>& v, const char* s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    for (const Case& c : cases) {
        EncoderChoice e = ChooseEncoder(c.path, c.format);
        EXPECT_EQ(e.error.empty(), c.audioAction != nullptr) << c.path;
        if (!c.audioAction) continue;
        WriterStream s{5, 3, "30/1", false, "in.avi", AudioArgs(e, c.audioCodec)};  // odd sides
        EXPECT_EQ(s.audioArgs.size() >= 2 ? s.audioArgs[1] : "", c.audioAction) << c.path << " " << c.audioCodec;
        std::vector<std::string> argv = WriterArgs(c.path, e, c.format, s);
        EXPECT_EQ(has(argv, "1:a:0"), !s.audioArgs.empty()) << c.path;
        // Odd sides are cropped for the encoders that need even ones.
        EXPECT_EQ(has(argv, "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0"), e.evenSize) << c.path;
    }
    // H.264's preset follows the frame size.
    for (int width : {1280, 1282, 1920}) {
        WriterStream s{width, width * 9 / 16, "30/1", false, "", {}};  // 720, 720, 1080
        auto argv = WriterArgs("a.mp4", ChooseEncoder("a.mp4", PixelFormat::Bgr), PixelFormat::Bgr, s);
        auto preset = std::find(argv.begin(), argv.end(), "-preset");
        ASSERT_NE(preset, argv.end());
        EXPECT_EQ(preset[1], width <= 1280 ? "superfast" : "ultrafast") << width;
    }
}

// How a run ended decides its status; outputs are kept for 0, 6, 7 and 8.
TEST(RunStatus, EveryWayARunEnds) {
    struct Case {
        const char* name;
        long frames, dropped, announced;
        bool interrupted, ended, live, maxFrames, readerOk;
        int status;
        const char* says;
    } cases[] = {
        {"done", 5, 0, 5, false, true, false, false, true, kExitOk, ""},
        {"signal before frame 1", 0, 0, 90, true, false, false, false, true, kExitInterrupted, "before the first frame"},
        {"signal, file", 5, 0, 90, true, false, false, false, true, kExitInterrupted, "hold the first 5 frames"},
        {"signal, live", 5, 0, -1, true, false, true, false, true, kExitOk, ""},
        {"signal, live, --max-frames", 5, 0, -1, true, false, true, true, true, kExitInterrupted, "the first 5"},
        {"live reader killed", 5, 0, -1, false, true, true, false, false, kExitSourceFailed,
         "reader of 'cam' was killed by signal 9 (ffmpeg: gone): the outputs hold the 5 frames"},
        {"reader failed at once", 0, 0, 90, false, true, false, false, false, kExitInput, "no frame was read"},
        {"nothing decoded", 0, 0, 90, false, true, false, false, true, kExitInput, "no frame could be decoded"},
        {"AVI announcing one more", 90, 0, 91, false, true, false, false, true, kExitOk, ""},
        {"cut file", 5, 0, 90, false, true, false, false, true, kExitShortInput, "hold 5 of 90 frames"},
        {"dropped frames were read", 5, 85, 90, false, true, false, false, true, kExitOk, ""},
    };
    for (const Case& c : cases) {
        RunEnd e;
        e.input = "cam";
        e.frames = c.frames;
        e.dropped = c.dropped;
        e.announced = c.announced;
        e.interrupted = c.interrupted;
        e.inputEnded = c.ended;
        e.live = c.live;
        e.maxFramesGiven = c.maxFrames;
        e.readerOk = c.readerOk;
        e.readerStory = "was killed by signal 9";
        e.readerErrors = "gone";
        const Verdict v = JudgeRun(e);
        EXPECT_EQ(v.status, c.status) << c.name;
        EXPECT_NE(v.message.find(c.says), std::string::npos) << c.name << ": " << v.message;
    }
    RunEnd failed;
    failed.status = kExitFailure;
    failed.failure = "ffmpeg could not write 'o.mp4'";
    failed.inputEnded = true;
    failed.readerOk = false;  // a failure of processing wins over anything the reader did
    EXPECT_EQ(JudgeRun(failed).status, kExitFailure);
}

// Every moment belongs to one stage: the stages add up to the whole run.
TEST(Progress, StagesAddUpAndSayWhatTheyAre) {
    static double cpu = 0;
    StageClock clock(std::chrono::steady_clock::now() - std::chrono::milliseconds(30), [] { return cpu += 0.001; });
    for (Stage s : {Stage::StartUp, Stage::WaitInput, Stage::Segment, Stage::Composite, Stage::Write, Stage::Finish})
        clock.Lap(s);
    double sum = 0;
    for (int s = 0; s < static_cast<int>(Stage::Count); ++s) sum += clock.Seconds(static_cast<Stage>(s));
    EXPECT_EQ(sum, clock.Total());
    EXPECT_GE(clock.Seconds(Stage::StartUp), 0.030);
    EXPECT_DOUBLE_EQ(clock.CpuSeconds(Stage::Composite), 0.001);
    EXPECT_NE(TimingLine(1, true, clock, 0).find("the image took"), std::string::npos);
    EXPECT_EQ(TimingLine(1, true, clock, 0).find("per second"), std::string::npos);
    EXPECT_NE(TimingLine(2, false, clock, 0).find("frames per second of wall time (2 frames in"), std::string::npos);
}

// One line per message, named by its call; the library's line ends do not split it.
TEST(LogFile, OneLinePerMessage) {
    EXPECT_EQ(FormatLogLine("frame 12", VIDRA_LOG_DEBUG, "NNXRun start.\n"), "frame 12: NNXRun start.");
    EXPECT_EQ(FormatLogLine("destroy", VIDRA_LOG_DEBUG, "Start DestroyIPU \nEnd DestroyIPU \n"),
              "destroy: Start DestroyIPU  End DestroyIPU");
    EXPECT_EQ(FormatLogLine("create", VIDRA_LOG_ERROR, "no model"), "create: error: no model");
    EXPECT_EQ((std::vector<std::string>{TailLines("a\nb\r\nccc\n", 6), TailLines("a\nb\r\nccc\n", 5)}),
              (std::vector<std::string>{"b; ccc", "ccc"}));
}

// Child processes: how they ended, and what they said on standard error.
TEST(ChildProcess, StatusAndStandardError) {
    struct Case { const char* script; const char* story; const char* said; } cases[] = {
        {"exit 0", "exited with status 0", ""},
        {"echo broken >&2; exit 3", "exited with status 3", "broken"},
        {"kill -9 $$", "was killed by signal 9", ""},
    };
    for (const Case& c : cases) {
        ChildProcess child;
        ASSERT_EQ(child.Start({"sh", "-c", c.script}, Stdio::Null, Stdio::Pipe, Stdio::Pipe), SpawnError::None);
        std::string said, chunk;
        while (!(chunk = child.ReadError()).empty()) said += chunk;
        const ProcessStatus s = child.Wait();
        EXPECT_EQ(Describe(s), c.story);
        EXPECT_EQ(TailLines(said, 100), c.said);
        EXPECT_EQ(s.Ok(), std::string(c.script) == "exit 0");
    }
    ChildProcess none;
    EXPECT_EQ(none.Start({"vidra-no-such-program"}, Stdio::Null, Stdio::Null, Stdio::Null), SpawnError::NotFound);
    // A paced reader gets frames at a constant rate; a plain one passes timestamps through.
    auto paced = ReaderArgs("in.mp4", {}, 4, 2, 3, "30000/1001");
    auto rate = std::find(paced.begin(), paced.end(), "-r");
    ASSERT_NE(rate, paced.end());
    EXPECT_EQ(rate[1], "30000/1001");
    auto plain = ReaderArgs("in.mp4", {}, 4, 2, 3, "");
    EXPECT_NE(std::find(plain.begin(), plain.end(), "passthrough"), plain.end());
}

// The reader thread over any program: frames in order with their index, a
// paced source no faster than its rate, and how the program ended.
TEST(FrameSource, PacesAndTellsHowTheReaderEnded) {
    struct Case { const char* script; double fps; long frames; bool truncated; const char* story; } cases[] = {
        {"head -c 400 /dev/zero", 0, 10, false, "exited with status 0"},
        {"head -c 400 /dev/zero", 100, 10, false, "exited with status 0"},
        {"head -c 90 /dev/zero", 0, 2, true, "exited with status 0"},
        {"head -c 80 /dev/zero; kill -9 $$", 0, 2, false, "was killed by signal 9"},
        {"head -c 80 /dev/zero; echo bad input >&2; exit 2", 0, 2, false, "exited with status 2"},
    };
    for (const Case& c : cases) {
        FrameSource source;
        const auto begun = std::chrono::steady_clock::now();
        ASSERT_EQ(source.Start({"sh", "-c", c.script}, 40, 3, false, c.fps), SpawnError::None);
        long frames = 0;
        while (Frame* f = source.Next()) {
            EXPECT_EQ(f->index, frames++) << c.script;
            source.Done(f);
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        const ProcessStatus status = source.Stop(false);
        EXPECT_EQ(std::make_tuple(frames, source.Ended(), source.Truncated(), Describe(status)),
                  std::make_tuple(c.frames, true, c.truncated, std::string(c.story)))
            << c.script;
        EXPECT_GE(seconds, c.fps > 0 ? (c.frames - 1) / c.fps : 0.0) << "frame n is due n / fps after frame 0";
        EXPECT_EQ(source.ErrorTail(), std::strstr(c.script, "bad input") ? "bad input" : "") << c.script;
    }
}

// Outputs appear whole under their names, keep the permissions of the file
// they replace, and one holding no frame never replaces anything.
TEST(EncodedOutput, CommitsOnlyWholeResultsWithFrames) {
    const std::string dir = ::testing::TempDir() + "vidra-outputs";
    mkdir(dir.c_str(), 0700);
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    StreamInfo stream;
    stream.width = 4;
    stream.height = 2;
    stream.frameRate = "10/1";
    const std::vector<uint8_t> mask(8, 200);
    for (long frames : {0L, 1L}) {
        const std::string path = dir + "/m" + std::to_string(frames) + ".png";
        std::ofstream(path) << "earlier";
        chmod(path.c_str(), 0640);
        FileIdentity target;
        ASSERT_EQ(IdentifyFile(path, false, target), "");
        EncodedOutput out(path, Picture::Mask, PixelFormat::Gray, ChooseEncoder(path, PixelFormat::Gray), target,
                          false);
        std::string why;
        ASSERT_EQ(out.Open(stream, why), OutputFailure::None) << why;
        ProcessedFrame frame;
        frame.mask = mask.data();
        for (long i = 0; i < frames; ++i) ASSERT_TRUE(out.Write(frame));
        const std::string finished = out.Finish();  // with no frame, whatever ffmpeg thinks of it
        EXPECT_TRUE(frames == 0 || finished.empty()) << finished;
        EXPECT_EQ(out.Commit(frames), "");
        const std::string now = read(path);
        EXPECT_EQ(now == "earlier", frames == 0) << now.substr(0, 8);
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
    }
    EXPECT_EQ(ListFolder(dir).size(), 2u) << "no temporary file is left";
}
