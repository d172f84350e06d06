// vidra-segment's Windows side, under Wine: the command line a child gets,
// path splitting, file identity, staging and replacing, finding ffmpeg.
#include "ffmpeg_options.h"
#include "file_identity.h"
#include "platform/command_line_win.h"
#include "platform/file_system.h"
#include "platform/wide_win.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <windows.h>
// windows.h names its own ReplaceFile as a macro; ours is vseg::ReplaceFile.
#undef ReplaceFile
#include <shellapi.h>

#include <algorithm>
#include <fstream>

using namespace vseg;

namespace {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = Narrow(base) + "vidra-platform-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter_++);
        CreateDirectoryW(Widen(path_).c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::string& name : ListFolder(path_)) RemoveFile(path_ + "\\" + name);
        RemoveEmptyFolder(path_);
    }
    std::string Path(const std::string& name) const { return path_ + "\\" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    static int counter_;
};
int TempFolder::counter_ = 0;

void Write(const std::string& path, const std::string& text) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD put = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(h);
}

std::string Read(const std::string& path) {
    std::ifstream in(Widen(path).c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(CommandLine, EveryArgumentComesBackUnchanged) {
    // Split by the system's own rules (those of the C runtime and ffmpeg).
    const std::vector<std::string> args = {
        "", "plain", "two words", "tab\there", "new\nline", "quote\"inside", "\"", "\"\"", "trailing\\",
        "trailing space\\", "C:\\Program Files\\ffmpeg\\", "\\\\server\\share\\x.mp4", "back\\\\\"slashes",
        "\\\"", "a\\\\b", "odd\\\\\\", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0", "scale=2:2,crop=1:1",
        "caf\xc3\xa9 \xe2\x98\x83.mp4", "\xf0\x9f\x8e\xa5", "%d %% %0Nd", "-x264-params", "deblock=1,0,0:aq-mode=1"};
    std::vector<std::string> argv = {"C:\\folder with space\\ffmpeg.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::wstring line = BuildCommandLine(argv);
    int count = 0;
    wchar_t** split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(static_cast<size_t>(count), argv.size()) << Narrow(line);
    for (int i = 0; i < count; ++i) EXPECT_EQ(Narrow(split[i]), argv[static_cast<size_t>(i)]) << Narrow(line);
    LocalFree(split);
    // Nothing that needs no quotes gets them.
    EXPECT_EQ(QuoteArgument(L"-pix_fmt"), L"-pix_fmt");
    EXPECT_EQ(QuoteArgument(L"a\\b\\"), L"a\\b\\");
}

TEST(Paths, SplitAtEitherSeparatorKeepingRoots) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{
             {"b.mp4", ".", "b.mp4"},
             {"a/b.mp4", "a", "b.mp4"},
             {"a\\b.mp4", "a", "b.mp4"},
             {"a/b\\c.png", "a/b", "c.png"},
             {"a\\b/c.png", "a\\b", "c.png"},
             {"C:\\a\\b.mp4", "C:\\a", "b.mp4"},
             {"C:\\b.mp4", "C:\\", "b.mp4"},
             {"C:/b.mp4", "C:/", "b.mp4"},
             {"c:b.mp4", "c:.", "b.mp4"},
             {"\\b.mp4", "\\", "b.mp4"},
             {"/b.mp4", "/", "b.mp4"},
             {"\\\\server\\share\\b.mp4", "\\\\server\\share\\", "b.mp4"},
             {"\\\\server\\share\\d\\b.mp4", "\\\\server\\share\\d", "b.mp4"},
             {"//server/share/b.mp4", "//server/share/", "b.mp4"},
             {"\\\\?\\C:\\d\\b.mp4", "\\\\?\\C:\\d", "b.mp4"},
             {"C:\\d\\", "C:\\d", ""},
         }) {
        std::string folder, name;
        SplitPath(c.path, folder, name);
        EXPECT_EQ(folder, c.folder) << c.path;
        EXPECT_EQ(name, c.name) << c.path;
    }
}

TEST(Paths, ExtensionsAreTakenFromTheNameOnly) {
    // A dot in a folder's name says nothing about the file.
    for (const char* path : {"C:\\clips.v2\\out", "clips.v2\\out", "\\\\srv\\sh.are\\out", "d.mp4/out"}) {
        EXPECT_FALSE(ChooseEncoder(path, PixelFormat::Bgr, false).error.empty()) << path;
    }
    for (const char* path : {"C:\\clips.v2\\out.PNG", "clips\\out.png", "\\\\srv\\share\\f%03d.png", "a.mkv\\b.png"}) {
        const EncoderChoice c = ChooseEncoder(path, PixelFormat::Bgr, false);
        EXPECT_TRUE(c.error.empty() && c.image) << path;
    }
    EXPECT_TRUE(ChooseEncoder("C:\\dir.png\\clip.mp4", PixelFormat::Bgr, false).h264);
}

TEST(FileSystem, IdentityFollowsHardLinksAndSpellings) {
    TempFolder dir;
    const std::string input = dir.Path("caf\xc3\xa9 \xe2\x98\x83.mkv"), other = dir.Path("other.mkv");
    Write(input, "frames");
    Write(other, "frames");
    ASSERT_TRUE(CreateHardLinkW(Widen(dir.Path("hard.mkv")).c_str(), Widen(input).c_str(), nullptr));
    const PathInfo a = Inspect(input);
    ASSERT_EQ(a.kind, PathKind::File);
    EXPECT_EQ(Inspect(dir.Path("hard.mkv")).key, a.key);
    std::string mixed = input;
    std::replace(mixed.begin(), mixed.end(), '\\', '/');
    EXPECT_EQ(Inspect(mixed).key, a.key);
    EXPECT_FALSE(Inspect(other).key == a.key);
    EXPECT_EQ(Inspect(dir.path()).kind, PathKind::Folder);
    EXPECT_EQ(Inspect(dir.Path("missing.mkv")).kind, PathKind::Missing);
    EXPECT_EQ(Inspect("NUL").kind, PathKind::Device);

    // What the "never write over an input" check makes of them.
    for (const std::string& out : {dir.Path("hard.mkv"), mixed, dir.path() + "\\.\\" + "hard.mkv"}) {
        std::vector<RunFile> files(2);
        files[0].label = "--output";
        files[0].path = out;
        files[0].written = true;
        files[1].label = "the input";
        files[1].path = input;
        EXPECT_NE(CheckRunFiles(files).find("same file"), std::string::npos) << out;
    }
    std::vector<RunFile> files(2);
    files[0].label = "--output";
    files[0].path = dir.Path("new folder\\x.mkv");
    files[0].written = true;
    files[1].label = "the input";
    files[1].path = input;
    EXPECT_NE(CheckRunFiles(files).find("cannot be used"), std::string::npos);
}

TEST(FileSystem, StagedFilesReplaceInOneStep) {
    TempFolder dir;
    const std::string target = dir.Path("r\xc3\xa9sultat.png");
    Write(target, "old");
    std::string first, second;
    ASSERT_EQ(CreateTempFile(dir.path(), ".r\xc3\xa9sultat-vidra-", ".png", target, first), "");
    ASSERT_EQ(CreateTempFile(dir.path(), ".r\xc3\xa9sultat-vidra-", ".png", target, second), "");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(first.size() - 4), ".png");
    EXPECT_EQ(Inspect(first).kind, PathKind::File);
    Write(first, "new");
    EXPECT_EQ(ReplaceFile(first, target), "");
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(Inspect(first).kind, PathKind::Missing);
    EXPECT_NE(ReplaceFile(first, target), "");  // nothing left to move
    RemoveFile(second);

    std::string folder;
    ASSERT_EQ(CreateTempFolder(dir.path(), ".vidra-segment-", folder), "");
    Write(folder + "\\f\xc3\xa9" "001.png", "x");
    EXPECT_EQ(ListFolder(folder), std::vector<std::string>{"f\xc3\xa9" "001.png"});
    RemoveFile(folder + "\\f\xc3\xa9" "001.png");
    RemoveEmptyFolder(folder);
    EXPECT_EQ(Inspect(folder).kind, PathKind::Missing);
    EXPECT_EQ(CheckWritableFolder(dir.path()), "");
    EXPECT_NE(CheckWritableFolder(dir.Path("missing")), "");
    std::vector<std::string> left = ListFolder(dir.path());
    EXPECT_EQ(left, std::vector<std::string>{"r\xc3\xa9sultat.png"});  // no probe or temporary stays

    std::string error;
    const std::string canonical = CanonicalPath(dir.path() + "/./", error);
    EXPECT_EQ(Inspect(canonical).key, Inspect(dir.path()).key) << error;
    EXPECT_NE(canonical.back(), '\\');
}

TEST(Programs, FoundOnPathWithOrWithoutExtension) {
    TempFolder dir;
    Write(dir.Path("fakeprobe.exe"), "MZ");
    wchar_t saved[32768];
    const DWORD n = GetEnvironmentVariableW(L"PATH", saved, 32768);
    SetEnvironmentVariableW(L"PATH", Widen("C:\\no-such-folder;\"" + dir.path() + "\"").c_str());
    EXPECT_EQ(Inspect(FindProgram("fakeprobe")).key, Inspect(dir.Path("fakeprobe.exe")).key);
    EXPECT_EQ(Inspect(FindProgram("fakeprobe.exe")).key, Inspect(dir.Path("fakeprobe.exe")).key);
    EXPECT_EQ(FindProgram("no-such-program"), "");
    EXPECT_EQ(Inspect(FindProgram(dir.Path("fakeprobe"))).kind, PathKind::File);
    SetEnvironmentVariableW(L"PATH", n ? saved : nullptr);
    // The ffmpeg that Windows users find today spells it the new way; 4.x the old.
    EXPECT_STREQ(FpsModeFromHelp("-vsync            video sync method\n-fps_mode[:<stream_spec>]"), "-fps_mode");
    EXPECT_STREQ(FpsModeFromHelp("-vsync            video sync method\n"), "-vsync");
    EXPECT_STREQ(FpsModeFromHelp(""), "-fps_mode");
}
