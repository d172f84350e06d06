// Every allocation of a creation and of a frame made to fail in turn: the
// exported call must return -1 with a log line, never let the exception reach
// the host, and leave a segmenter that works once memory is back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "failing_allocator.h"
#include "segmenter_fixture.h"

namespace fs = std::filesystem;

TEST(OutOfMemory, CreationAndFramesFailWithMinusOneAndALogLine) {
    // A folder searched for the model (empty name): the search's strings and
    // lists, then a preparation that fails because the name found lies in a
    // subfolder.
    const fs::path folder = fs::temp_directory_path() / "vidra_out_of_memory";
    fs::remove_all(folder);
    fs::create_directories(folder / "sub.tesk");
    std::ofstream(folder / "sub.tesk" / "m.tesk") << "x";
    std::ofstream(folder / "readme.txt") << "x";
    const std::string path = folder.string();
    SegParams params = kSegParams144x80;
    params.modelName[0] = '\0';
    params.ConnectedComponentLabeling = true;  // the region filter queues every pixel of an empty output
    const std::vector<uint8_t> frame(64 * 48 * 3, 90);
    std::vector<uint8_t> mask(64 * 48);

    const struct { const char* what; std::function<int()> call; int statusWithMemory; } cases[] = {
        {"creation", [&] { return VidraCreateWithPathPlus(64, 48, 1, path.c_str(), &params); }, -1},
        {"frame", [&] {
             g_model.m_frameCounter = 9;  // the next frame is a forced keyframe: the network path
             return VidraFrameProcess(nullptr, frame.data(), mask.data());
         }, 0},
    };
    // Each of the first allocations, then a few deep into the region filter's queue.
    std::vector<long> points;
    for (long n = 0; n < 40; ++n) points.push_back(n);
    points.insert(points.end(), {100L, 1000L, 20000L, 45000L, 10000000L});
    // The call's status and log with the allocation after `allowed` failing
    // (-1: none); injected tells whether that failure happened.
    bool injected = false;
    std::string log;
    const auto callFailingAfter = [&](long allowed, const std::function<int()>& call) {
        LogCapture capture;
        FailAllocationAfter(allowed);
        const int status = call();
        injected = StopFailingAllocations();
        log = capture.Text();
        return status;
    };
    for (const auto& c : cases) {
        bool completed = false;
        for (long n : points) {
            const int status = callFailingAfter(n, c.call);
            if (!injected) {
                EXPECT_EQ(status, c.statusWithMemory) << c.what << " " << log;
                completed = true;
                break;
            }
            // Either the call fails with -1 and says why, or a part that may
            // fail without failing the call absorbed it (a refused network
            // run leaves the output as it was).
            const bool logged = log.find("out of memory") != std::string::npos ||
                                log.find("init memoery error") != std::string::npos;
            EXPECT_TRUE((status == -1 && logged) || status == c.statusWithMemory)
                << c.what << " failing allocation " << n << ": " << status << " " << log;
            // With memory back, the same call works as before.
            EXPECT_EQ(callFailingAfter(-1, c.call), c.statusWithMemory)
                << c.what << " after failing allocation " << n;
        }
        EXPECT_TRUE(completed) << c.what << " needs more allocations than the test fails";
    }
    DestroyQuietly();
    fs::remove_all(folder);
}
