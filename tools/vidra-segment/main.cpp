// vidra-segment: runs the vidra segmenter over a video, an image or a live
// source, as a host application would, and writes the mask and a composite.
#include "default_model_dir.h"
#include "log_capture.h"
#include "options.h"
#include "run.h"

#include <cstdio>
#include <string>

using namespace vseg;

int main(int argc, char** argv) {
    Options opts;
    std::string error = ParseOptions(argc, argv, opts);
    if (opts.help) {
        std::fputs(UsageText("vidra-segment", DefaultModelDir()).c_str(), stdout);
        DiscardStdout();
        return kExitOk;
    }
    if (!error.empty()) {
        DiscardStdout();
        std::fprintf(stderr, "vidra-segment: %s\nTry 'vidra-segment --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (opts.modelDir.empty()) opts.modelDir = DefaultModelDir();
    return Run(opts);
}
