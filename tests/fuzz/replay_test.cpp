// Replays every kept input of one fuzz target (corpus/<target>/: each input
// that ever found a fault) through the target's entry function, without
// libFuzzer, so that the fault stays fixed on every build and target. The
// empty input, a meaningful default for every target, runs first.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#endif

#include "fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// A model of a few hundred bytes must not make the process hold gigabytes.
constexpr long kPeakLimitKiB = 1L << 20;

TEST(VIDRA_FUZZ_SUITE, EveryKeptInputRunsCleanly) {
    const fs::path dir = fs::u8path(VIDRA_TEST_SOURCE_DIR "/tests/fuzz/corpus/" VIDRA_FUZZ_TARGET);
    std::vector<fs::path> inputs = {fs::path()};
    if (fs::is_directory(dir)) {
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            if (e.is_regular_file()) inputs.push_back(e.path());
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::vector<std::uint8_t> bytes;
        if (!path.empty()) {
            std::ifstream file(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        // Named before it runs: a sanitizer report ends the process.
        std::fprintf(stderr, "replay %s (%zu bytes)\n", path.empty() ? "<empty>" : path.filename().string().c_str(),
                     bytes.size());
        std::fflush(stderr);
        EXPECT_EQ(0, LLVMFuzzerTestOneInput(bytes.data(), bytes.size()));
#if defined(__linux__)
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        ASSERT_LT(usage.ru_maxrss, kPeakLimitKiB) << path.filename().string() << " raised the peak resident size";
#endif
    }
}

}  // namespace
