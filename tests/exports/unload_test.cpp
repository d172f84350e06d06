// Loads the shared library at run time, as a host that links it late would:
// unloading it releases the segmenter once more, which logs the bracket lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

TEST(Unload, DestroyingAgainAtUnloadLogsOnlyTheBracketLines) {
    using DestroyFn = int (*)();
    int status = -9;  // stays when the library or its export is not found
    const std::string log = StdoutOf([&] {
#if defined(_WIN32)
        HMODULE library = LoadLibraryA("vidra.dll");
        FARPROC destroy = library ? GetProcAddress(library, "VidraDestroy") : nullptr;
        if (destroy) status = reinterpret_cast<DestroyFn>(reinterpret_cast<void*>(destroy))();
        if (library) FreeLibrary(library);
#else
        // By full path, beside this program: dlopen follows the run path of its
        // caller, which is the sanitizer's runtime when that intercepts it.
        char self[4096] = {};
        const std::string program = readlink("/proc/self/exe", self, sizeof self - 1) > 0 ? self : "";
        void* library =
            dlopen((program.substr(0, program.rfind('/') + 1) + "libvidra.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) std::fprintf(stderr, "%s\n", dlerror());
        void* destroy = library ? dlsym(library, "VidraDestroy") : nullptr;
        if (destroy) status = reinterpret_cast<DestroyFn>(destroy)();
        if (library) dlclose(library);
#endif
    });
    EXPECT_EQ(status, 0);
    const std::string pair = "Start DestroyIPU:NNXRelease() \nEnd DestroyIPU:NNXRelease() \n";
    EXPECT_EQ(log, "SorvaneDestroy!\n" + pair + pair);
}

}  // namespace
