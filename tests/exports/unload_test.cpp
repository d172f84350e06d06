// Loads the shared library at run time, as a host that links it late would,
// and checks what it writes when it is unloaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using DestroyFn = int (*)();

TEST(Unload, DestroyingAgainAtUnloadLogsOnlyTheBracketLines) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
#if defined(_WIN32)
    HMODULE library = LoadLibraryA("vidra.dll");
    ASSERT_NE(library, nullptr);
    auto destroy = reinterpret_cast<DestroyFn>(reinterpret_cast<void*>(GetProcAddress(library, "VidraDestroy")));
#else
    void* library = dlopen("libvidra.so", RTLD_NOW | RTLD_LOCAL);
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
