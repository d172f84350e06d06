// vidra-segment: runs the vidra segmenter over a video, an image or a live
// source, as a host application would, and writes the mask and a composite.
#include "tool_main.h"

#include "default_model_dir.h"
#include "options.h"
#include "run.h"

#include "vidra_core.h"

#include <chrono>
#include <cstdio>

namespace vseg {

int ToolMain(const std::vector<std::string>& args) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    Options opts;
    const std::string error = ParseOptions(static_cast<int>(argv.size()), argv.data(), opts);
    // Standard error even for what the user asked to see: standard output
    // belongs to the library's global exports.
    if (opts.help) {
        std::fputs(UsageText("vidra-segment", DefaultModelDir()).c_str(), stderr);
        return kExitOk;
    }
    if (opts.version) {
        std::fprintf(stderr, "vidra-segment %s (library %s)\n", VIDRA_VERSION_STRING, VidraGetVersionString());
        return kExitOk;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "vidra-segment: %s\nTry 'vidra-segment --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (opts.modelDir.empty()) opts.modelDir = DefaultModelDir();
    return Run(opts, started);
}

}  // namespace vseg
