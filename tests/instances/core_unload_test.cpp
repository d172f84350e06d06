// The core library loaded and unloaded at run time, as a host that links it
// late would: from load to unload it prints nothing, and it exports nothing of
// the global segmenter. This program does not link the library itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core_test_frames.h"
#include "exports/host_test_support.h"
#include "vidra_core.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
using Library = HMODULE;
Library Open() { return LoadLibraryA("vidracore.dll"); }
void* Find(Library library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}
void Close(Library library) { FreeLibrary(library); }
#else
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIDRA_UNDER_ASAN 1
#endif
#endif
#if defined(VIDRA_UNDER_ASAN) || defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderLeakCheck = true;
#else
constexpr bool kUnderLeakCheck = false;
#endif
using Library = void*;
Library Open() {
    // By full path, beside this program (see unload_test.cpp).
    char self[4096] = {};
    const std::string program = readlink("/proc/self/exe", self, sizeof self - 1) > 0 ? self : "";
    // Under LeakSanitizer the library stays mapped (unloaded at exit): the
    // runtime's own leaks are suppressed by module name, which an unloaded
    // module no longer has. Every other build unloads it here.
    return dlopen((program.substr(0, program.rfind('/') + 1) + "libvidracore.so").c_str(),
                  RTLD_NOW | RTLD_LOCAL | (kUnderLeakCheck ? RTLD_NODELETE : 0));
}
void* Find(Library library, const char* name) { return dlsym(library, name); }
void Close(Library library) { dlclose(library); }
#endif

template <class Fn>
Fn Get(Library library, const char* name) {
    return reinterpret_cast<Fn>(Find(library, name));
}

TEST(CoreLibrary, PrintsNothingFromLoadToUnloadAndExportsNoGlobalSegmenter) {
    std::vector<std::string> missing, leaked;
    int32_t created = -1, processed = -1, failedCreate = 0;
    const std::string out = StdoutOf([&] {
        Library library = Open();
        ASSERT_NE(library, nullptr);
        for (const char* name : {"VidraCreateWithPath", "VidraFrameProcess", "VidraDestroy", "NNXPreparePlus",
                                 "NNXRun", "NNXRelease", "g_model", "LogPrintf"})
            if (Find(library, name) != nullptr) leaked.push_back(name);
        for (const char* name : {"VidraSegmenterCreate", "VidraSegmenterProcessWithInfo", "VidraComposite",
                                 "VidraRefineMask", "VidraGetVersionString", "kSegParams144x80"})
            if (Find(library, name) == nullptr) missing.push_back(name);
        auto init = Get<void (*)(VidraSegmenterOptions*)>(library, "VidraSegmenterOptionsInit");
        auto create = Get<int32_t (*)(const VidraSegmenterOptions*, VidraSegmenter**)>(library, "VidraSegmenterCreate");
        auto process = Get<int32_t (*)(VidraSegmenter*, const VidraImage*, const VidraMask*)>(
            library, "VidraSegmenterProcess");
        auto reset = Get<int32_t (*)(VidraSegmenter*)>(library, "VidraSegmenterReset");
        auto destroy = Get<void (*)(VidraSegmenter*)>(library, "VidraSegmenterDestroy");
        if (init && create && process && reset && destroy) {
            VidraSegmenterOptions options;
            init(&options);
            options.width = 64, options.height = 48, options.modelPath = kModelDir.c_str();
            VidraSegmenter* segmenter = nullptr;
            created = create(&options, &segmenter);
            std::vector<uint8_t> rgb = Pattern(64, 48, 0), mask(64 * 48);
            const VidraImage frame = RgbImageOf(rgb, 64, 48);
            const VidraMask out{64, 48, 64, 0, mask.data()};
            processed = process(segmenter, &frame, &out);
            reset(segmenter);
            destroy(segmenter);
            // Failures log too, in the full library; here nowhere without a callback.
            options.modelPath = "no such folder";
            failedCreate = create(&options, &segmenter);
        }
        Close(library);
        std::fflush(stdout);
    });
    EXPECT_TRUE(leaked.empty()) << leaked.front();
    EXPECT_TRUE(missing.empty()) << missing.front();
    EXPECT_EQ(created, VIDRA_STATUS_OK);
    EXPECT_EQ(processed, VIDRA_STATUS_OK);
    EXPECT_EQ(failedCreate, VIDRA_STATUS_MODEL_NOT_FOUND);
    EXPECT_EQ(out, "");
}

}  // namespace
