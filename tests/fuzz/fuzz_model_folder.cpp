// Fuzz target: the model folder search (POSIX). The input builds a small
// folder tree under a scratch root (folders, models, other files, links up
// the tree, dangling links, FIFOs, names in mixed case), then names the folder
// handed to VidraCreateWithPathPlus (either separator, dots, a file as a
// folder) and the record's model name, empty or not. Creation must end, with
// 0 or a refusal, and never open anything but a regular file.
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "vidra.h"

namespace {

const char* const kNames[] = {"a", "B", "m.tesk", "M.TESK", "z.Tesk", "sub", "x.tesk.bak", ".tesk", "up.tesk", "q"};
const char* const kModelNames[] = {"m.tesk", "M.TESK", "a/m.tesk", "a\\m.tesk", "../models/m.tesk", "up.tesk"};
const char* const kSuffixes[] = {"", "/", "\\", "/.", "/a", "\\a\\", "//", "/a/../a", "/m.tesk", "/missing"};

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }

void RemoveTree(const std::string& root) { nftw(root.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

void Build(const std::string& root, fuzz::Reader& in) {
    std::vector<std::string> folders = {root};
    const std::string models = VIDRA_FUZZ_MODEL_DIR;
    for (int i = 0, n = 1 + in.Pick(10); i < n; ++i) {
        const std::uint8_t kind = in.Byte();
        const std::string& parent = folders[in.Pick(folders.size())];
        const std::string path = parent + "/" + kNames[in.Pick(std::size(kNames))];
        switch (kind % 8) {
            case 0:
                if (mkdir(path.c_str(), 0700) == 0) folders.push_back(path);
                break;
            case 1: symlink((models + "/model_144x80_2ch_nosig_sim_f32.tesk").c_str(), path.c_str()); break;
            case 2: symlink((models + "/test/affine.tesk").c_str(), path.c_str()); break;
            case 3: {
                // Only a new name: writing through an earlier link would
                // overwrite the real models it points at.
                struct stat existing;
                if (lstat(path.c_str(), &existing) != 0)
                    fuzz::WriteFile(path, in.rest(), in.rest_size() < 64 ? in.rest_size() : 64);
                break;
            }
            case 4: symlink(folders[in.Pick(folders.size())].c_str(), path.c_str()); break;  // may loop
            case 5: symlink((path + ".gone").c_str(), path.c_str()); break;
            case 6: mkfifo(path.c_str(), 0600); break;
            case 7: symlink(models.c_str(), path.c_str()); break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string root = fuzz::ScratchPath("models");
    RemoveTree(root);
    if (mkdir(root.c_str(), 0700) != 0) return 0;
    fuzz::Reader in(data, size);
    const std::string folder = root + kSuffixes[in.Pick(std::size(kSuffixes))];
    SegParams params = kSegParams144x80;
    const std::uint8_t name = in.Byte();
    if (name & 1) {
        params.modelName[0] = '\0';  // the first model file the search meets
    } else if (name & 2) {
        std::snprintf(params.modelName, sizeof params.modelName, "%s", kModelNames[(name >> 2) % std::size(kModelNames)]);
    }
    Build(root, in);
    VidraCreateWithPathPlus(320, 240, VIDRA_FRAME_RGB24, folder.c_str(), &params);
    VidraDestroy();
    RemoveTree(root);
    return 0;
}
