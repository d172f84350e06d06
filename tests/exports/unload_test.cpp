// Loads the shared library at run time, as a host that links it late would,
// and checks what it writes when it is unloaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

using DestroyFn = int (*)();

#if !defined(_WIN32)
// The library beside this program, by full path: dlopen follows the run path
// of its caller, which is the sanitizer's runtime when that intercepts it.
std::string LibraryBesideProgram() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "libvidra.so";
    const std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "libvidra.so";
}
#endif

TEST(Unload, DestroyingAgainAtUnloadLogsOnlyTheBracketLines) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
#if defined(_WIN32)
    HMODULE library = LoadLibraryA("vidra.dll");
    ASSERT_NE(library, nullptr);
    auto destroy = reinterpret_cast<DestroyFn>(reinterpret_cast<void*>(GetProcAddress(library, "VidraDestroy")));
#else
    void* library = dlopen(LibraryBesideProgram().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto destroy = reinterpret_cast<DestroyFn>(dlsym(library, "VidraDestroy"));
#endif
    ASSERT_NE(destroy, nullptr);
    EXPECT_EQ(destroy(), 0);
    std::fflush(stdout);
#if defined(_WIN32)
    FreeLibrary(library);
#else
    dlclose(library);
#endif
    std::fflush(stdout);
    const std::string log = testing::internal::GetCapturedStdout();
    const std::string pair = "Start DestroyIPU:NNXRelease() \nEnd DestroyIPU:NNXRelease() \n";
    EXPECT_EQ(log, "SorvaneDestroy!\n" + pair + pair);
}

}  // namespace
