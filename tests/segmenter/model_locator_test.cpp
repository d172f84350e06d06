#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "inference/dir_search.h"
#include "segmenter_fixture.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder, removed at the end; paths in the library's backslash form.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) : path_(fs::temp_directory_path() / name) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    void Touch(const std::string& relative) {
        fs::create_directories((path_ / relative).parent_path());
        std::ofstream(path_ / relative) << "x";
    }
    std::string Backslashed() const {
        std::string text = path_.string();
        for (char& c : text)
            if (c == '/') c = '\\';
        return text;
    }

private:
    fs::path path_;
};

void SetModelName(const char* name) {
    std::snprintf(g_model.m_params.modelName, sizeof g_model.m_params.modelName, "%s", name);
}

TEST(ModelLocation, WildcardMatchingIgnoresCaseAndBacktracks) {
    EXPECT_TRUE(WildcardMatch("*.tesk", "a.tesk"));
    EXPECT_TRUE(WildcardMatch("*.tesk", "A.TeSk"));
    EXPECT_TRUE(WildcardMatch("*.tesk", ".tesk"));
    EXPECT_TRUE(WildcardMatch("*.tesk", "a.tesk.tesk"));
    EXPECT_FALSE(WildcardMatch("*.tesk", "a.tesk.bak"));
    EXPECT_FALSE(WildcardMatch("*.tesk", "atesk"));
    EXPECT_FALSE(WildcardMatch("*.tesk", "."));
    EXPECT_TRUE(WildcardMatch("m?del*", "model_1"));
}

TEST(ModelLocation, ConfiguredNameIsJoinedWithOneSeparator) {
    SetModelName("model_144x80_2ch_nosig_sim_f32.tesk");
    for (const std::string folder : {"D:\\models", "D:\\models\\"}) {
        std::string path;
        LogCapture log;
        EXPECT_EQ(g_model.BuildModelPath(folder, ".tesk", path), 0);
        EXPECT_EQ(log.Text(), "model file name: model_144x80_2ch_nosig_sim_f32.tesk.\n");
        EXPECT_EQ(path, "D:\\models\\model_144x80_2ch_nosig_sim_f32.tesk");
    }
    // Percent signs are text, not formats.
    std::string path;
    LogCapture log;
    EXPECT_EQ(g_model.BuildModelPath("C:\\%d%s", ".tesk", path), 0);
    log.Text();
    EXPECT_EQ(path, "C:\\%d%s\\model_144x80_2ch_nosig_sim_f32.tesk");
}

TEST(ModelLocation, PathLengthLimits) {
    SetModelName("m.tesk");
    struct Case {
        size_t length;
        std::string log;
    };
    const Case cases[] = {
        {1001, "ModelInit: Model path is too long\n"},
        {1000, "ModelInit: write model path error\n"},
        {999, ""},                            // the separator does not fit
        {998, "model file name: m.tesk.\n"},  // separator fits, the name does not
    };
    for (const Case& c : cases) {
        std::string path = "unchanged";
        LogCapture log;
        EXPECT_EQ(g_model.BuildModelPath(std::string(c.length, 'a'), ".tesk", path), -1) << c.length;
        EXPECT_EQ(log.Text(), c.log) << c.length;
        EXPECT_EQ(path, "unchanged");
    }
    std::string path;
    LogCapture log;
    EXPECT_EQ(g_model.BuildModelPath(std::string(992, 'a'), ".tesk", path), 0);
    log.Text();
    EXPECT_EQ(path.size(), 999u);
}

TEST(ModelLocation, SearchFindsModelFilesInTheFolderAndInTeskSubfolders) {
    SetModelName("");
    ScratchFolder scratch("vidra_locator_test");
    scratch.Touch("readme.txt");
    {
        std::string path;
        LogCapture log;
        EXPECT_EQ(g_model.BuildModelPath(scratch.Backslashed(), ".tesk", path), 0);
        EXPECT_EQ(log.Text(), "No files with the extension .tesk were sent.\nmodel file name: .\n");
        EXPECT_EQ(path, scratch.Backslashed() + "\\");
    }
    // Only a subfolder whose own name ends in the extension is descended into;
    // the name found there is joined to the top folder.
    scratch.Touch("plain/inner.tesk");
    scratch.Touch("old.tesk/M.TESK");
    {
        std::string path;
        LogCapture log;
        EXPECT_EQ(g_model.BuildModelPath(scratch.Backslashed(), ".tesk", path), 0);
        EXPECT_EQ(log.Text(), "model file name: M.TESK.\n");
        EXPECT_EQ(path, scratch.Backslashed() + "\\M.TESK");
    }
    // Two files: whichever the directory search meets first (in name order).
    scratch.Touch("b.tesk");
    scratch.Touch("a.tesk");
    std::vector<std::string> found;
    g_model.ScanModelFiles(scratch.Backslashed() + "\\", ".tesk", found);
    ASSERT_EQ(found.size(), 3u);
    for (const std::string& entry : found)
        EXPECT_EQ(entry.rfind(scratch.Backslashed() + "\\\\", 0), 0u) << entry;  // doubled separator
    std::string path;
    LogCapture log;
    g_model.BuildModelPath(scratch.Backslashed(), ".tesk", path);
    log.Text();
    EXPECT_EQ(path, scratch.Backslashed() + "\\" + found.front().substr(found.front().rfind('\\') + 1));
}

// Both targets take the entries of a folder in name order, letter case
// ignored and compared as upper case (as NTFS orders them), so an empty model
// name picks the same file everywhere.
TEST(ModelLocation, SearchTakesEntriesInCaseInsensitiveNameOrder) {
    SetModelName("");
    ScratchFolder scratch("vidra_locator_order");
    const std::vector<std::string> created = {"m.tesk", "B.tesk", "_u.tesk", "a2.tesk", "Zz.tesk", "c.tesk",
                                              "A1.tesk", "x.tesk", "b1.tesk", "K.TESK", "j.tesk", "0.tesk"};
    for (const std::string& name : created) scratch.Touch(name);
    std::vector<std::string> found;
    g_model.ScanModelFiles(scratch.Backslashed(), ".tesk", found);
    std::vector<std::string> names;
    for (const std::string& entry : found) names.push_back(entry.substr(entry.rfind('\\') + 1));
    const std::vector<std::string> expected = {"0.tesk", "A1.tesk", "a2.tesk", "B.tesk", "b1.tesk", "c.tesk",
                                               "j.tesk", "K.TESK",  "m.tesk",  "x.tesk", "Zz.tesk", "_u.tesk"};
    EXPECT_EQ(names, expected);
}

// Links that lead back up, and chains of model-named folders deeper than the
// search goes, end the search instead of looping or recursing without end.
TEST(ModelLocation, SearchVisitsEachFolderOnceAndStopsAtItsDepth) {
    SetModelName("");
    ScratchFolder scratch("vidra_locator_loops");
    scratch.Touch("m.tesk");
    std::string deep;
    for (int level = 0; level < 24; ++level) deep += "d.tesk/";
    scratch.Touch(deep + "too_deep.tesk");
    scratch.Touch("d.tesk/d.tesk/shallow.tesk");
    std::error_code error;
    const fs::path root = fs::temp_directory_path() / "vidra_locator_loops";
    fs::create_directory_symlink(root, root / "up.tesk", error);
    if (!error) fs::create_directory_symlink(root / "d.tesk", root / "d.tesk" / "d.tesk" / "back.tesk", error);
    std::vector<std::string> found;
    g_model.ScanModelFiles(scratch.Backslashed(), ".tesk", found);
    std::vector<std::string> names;
    for (const std::string& entry : found) names.push_back(entry.substr(entry.rfind('\\') + 1));
    EXPECT_EQ(names, (std::vector<std::string>{"shallow.tesk", "m.tesk"}));
    // Where links cannot be made (Wine), only the depth limit was tried.
    if (error) std::fprintf(stderr, "no symbolic links here: %s\n", error.message().c_str());
}

TEST(ModelLocation, LoadModelStatuses) {
    SetModelName("");
    NnxModel* saved = g_model.m_nnxModel;
    g_model.m_nnxModel = nullptr;
    {
        LogCapture log;
        EXPECT_EQ(g_model.LoadModel("anything"), -2);
        EXPECT_EQ(log.Text(), "");
    }
    NnxModel record{};
    g_model.m_nnxModel = &record;
    ScratchFolder scratch("vidra_locator_load");
    scratch.Touch("sub.tesk/x.tesk");
    // The chosen name lies in a subfolder, not beside it: nothing to open.
    LogCapture log;
    EXPECT_EQ(g_model.LoadModel(scratch.Backslashed()), -1);
    EXPECT_EQ(log.Text(), "model file name: x.tesk.\nNNXPreparePlus start.\nNNXPrepare ret: -1\n");
    EXPECT_EQ(record.modelHandle, 0u);
    g_model.m_nnxModel = saved;
}

}  // namespace
